# The two commands of README.md, plus the benchmark.
.PHONY: run test bench build clean
run:
	./scripts/zeltra.sh run
test:
	./scripts/zeltra.sh test
bench:
	./scripts/zeltra.sh bench
build:
	./scripts/zeltra.sh build
clean:
	rm -rf build

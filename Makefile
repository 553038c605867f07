# The two commands of README.md, plus the benchmark and the command-line tool's help.
.PHONY: run test bench build clean forms-help
run:
	./scripts/zeltra.sh run
test:
	./scripts/zeltra.sh test
bench:
	./scripts/zeltra.sh bench
forms-help:
	./scripts/zeltra.sh forms --help
build:
	./scripts/zeltra.sh build
clean:
	rm -rf build

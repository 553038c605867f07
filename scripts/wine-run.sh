#!/usr/bin/env bash
# CTest's emulator: runs one Windows test program under Wine. Its output goes through a
# file, because Wine's helper processes (desktop, services) may outlive the program while
# still holding whatever stdout they inherited, and CTest would wait for them.
out=$(mktemp)
/usr/lib/wine/wine64 "$@" >"$out" 2>&1 </dev/null
status=$?
# Every test program prints before it can fail; a failure with no output at all is a start
# that Wine did not make (seen once on a heavily loaded machine), so it is tried once more.
if [ $status -ne 0 ] && [ ! -s "$out" ]; then
    echo "wine-run.sh: the program ended with $status before printing anything; starting it again" >&2
    /usr/lib/wine/wine64 "$@" >"$out" 2>&1 </dev/null
    status=$?
fi
cat "$out"
# A program that crashes under Wine's automatic debugger still exits with status 0.
if [ $status -eq 0 ] && grep -q '^wine: Unhandled ' "$out"; then
    echo "wine-run.sh: the program crashed" >&2
    status=1
fi
rm -f "$out"
exit $status

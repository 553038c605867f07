#!/usr/bin/env bash
# CTest's emulator: runs one Windows test program under Wine. Its output goes through a
# file, because Wine's helper processes (desktop, services) may outlive the program while
# still holding whatever stdout they inherited, and CTest would wait for them.
out=$(mktemp)
/usr/lib/wine/wine64 "$@" >"$out" 2>&1 </dev/null
status=$?
cat "$out"
rm -f "$out"
exit $status

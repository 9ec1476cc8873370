#!/usr/bin/env bash
# CTest's emulator: runs a test program under Wine in the run's prefix.
# Wine's background processes (services, the desktop) started by a program
# inherit its output; going through a file keeps them off CTest's pipe.
log="$(mktemp)"
wine "$@" >"$log" 2>&1
status=$?
cat "$log"
rm -f "$log"
exit $status

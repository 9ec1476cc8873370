#!/usr/bin/env bash
# Runs the test programs under Wine in a fresh, throwaway prefix with test
# drives and a virtual display. Meant to run in a private mount namespace.
set -euo pipefail
build="$(cd "$1" && pwd)"
shift

run="$(mktemp -d /tmp/korvane-tests.XXXXXX)"
# The prefix, its journal and the test drives live in memory: every change the
# tests make is flushed to disk first, and on a disk those flushes were most of
# the run's time. What is tested does not change; only where the bytes land.
mount -t tmpfs -o size=4g tmpfs "$run"
# shellcheck source=wine-prefix.sh
source "$(dirname "$0")/wine-prefix.sh"

cleanup() {
  korvane_stop
  umount "$run/readonly" 2>/dev/null || true
  umount "$run" 2>/dev/null || true
  rm -rf "$run"
}
trap cleanup EXIT

started=$(date +%s)
# A virtual display for the tests that create windows.
korvane_display 1280x1024
korvane_prefix "$run/prefix" 1280x1024
# R: is a removable drive (its type is read when Wine's mount manager starts,
# so it is set before the server that stays up). Its folder is missing, so it
# is absent like an empty card reader until a test makes the folder.
wine reg add 'HKLM\Software\Wine\Drives' /v r: /d floppy /f >/dev/null 2>&1
wineserver -w
wineserver -p  # stays up between test programs

# Test drives: E: and F: are writable folders, M: a link to nothing (a missing
# drive), W: a read-only file system holding an infected autorun.inf, R: the
# removable drive, present only while a test makes $run/drive_r.
mkdir -p "$run/drive_e" "$run/drive_f" "$run/readonly"
mount -t tmpfs -o size=1m tmpfs "$run/readonly"
printf '[autorun]\r\nopen=virus.exe\r\n' >"$run/readonly/autorun.inf"
mount -o remount,ro "$run/readonly"
dosdevices="$WINEPREFIX/dosdevices"
ln -sfn "$run/drive_e" "$dosdevices/e:"
ln -sfn "$run/drive_f" "$dosdevices/f:"
ln -sfn "$run/missing" "$dosdevices/m:"
ln -sfn "$run/readonly" "$dosdevices/w:"
ln -sfn "$run/drive_r" "$dosdevices/r:"
export KORVANE_TEST_DOSDEVICES="$dosdevices"
export KORVANE_TEST_REMOVABLE="$run/drive_r"

echo "Wine prefix ready in $(( $(date +%s) - started )) s"
cd "$build"
status=0
ctest --output-on-failure --no-tests=error "$@" || status=$?
echo "Full test run took $(( $(date +%s) - started )) s"
exit $status

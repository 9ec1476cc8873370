#!/usr/bin/env bash
# Runs the test programs under Wine in fresh, throwaway prefixes with test
# drives and a virtual display. Meant to run in a private mount namespace.
#
#   run-tests.sh BUILD               every test program, in two lanes side by side
#   run-tests.sh BUILD CTEST-ARGS... the programs ctest picks, in one lane
#
# A lane is a prefix of its own, with its own Wine server, display and drives,
# so the test programs of one lane never see another lane's changes. Most of a
# test program's time is Wine starting processes and windows, which leaves a
# core idle; two lanes fill it.
set -euo pipefail
build="$(cd "$1" && pwd)"
shift

run="$(mktemp -d /tmp/korvane-tests.XXXXXX)"
# The prefixes, their journals and the test drives live in memory: every change
# the tests make is flushed to disk first, and on a disk those flushes were most
# of the run's time. What is tested does not change; only where the bytes land.
mount -t tmpfs -o size=4g tmpfs "$run"
# shellcheck source=wine-prefix.sh
source "$(dirname "$0")/wine-prefix.sh"

lanes=()
cleanup() {
  for pid in "${lanes[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
  korvane_stop || true
  umount "$run"/lane*/readonly 2>/dev/null || true
  umount "$run" 2>/dev/null || true
  rm -rf "$run"
}
trap cleanup EXIT

started=$(date +%s)
# One prefix is made, then copied for each lane: making one is most of the set-up.
# R: is a removable drive; its type is read when Wine's mount manager starts,
# so it is set before any lane's server starts.
korvane_display 1280x1024
korvane_prefix "$run/prefix" 1280x1024
wine reg add 'HKLM\Software\Wine\Drives' /v r: /d floppy /f >/dev/null 2>&1
wineserver -w
korvane_stop || true

# Runs ctest with the given arguments in lane $1, its output into $run/lane$1.log.
lane() {
  local dir="$run/lane$1"
  shift
  mkdir -p "$dir"
  cp -a "$run/prefix" "$dir/prefix"
  (
    korvane_display 1280x1024
    export WINEPREFIX="$dir/prefix"
    trap "korvane_stop || true" EXIT
    wineserver -p  # stays up between test programs

    # Test drives: E: and F: are writable folders, M: a link to nothing (a missing
    # drive), W: a read-only file system holding an infected autorun.inf, R: the
    # removable drive, present only while a test makes its folder.
    mkdir -p "$dir/drive_e" "$dir/drive_f" "$dir/readonly"
    mount -t tmpfs -o size=1m tmpfs "$dir/readonly"
    printf '[autorun]\r\nopen=virus.exe\r\n' >"$dir/readonly/autorun.inf"
    mount -o remount,ro "$dir/readonly"
    local dosdevices="$WINEPREFIX/dosdevices"
    ln -sfn "$dir/drive_e" "$dosdevices/e:"
    ln -sfn "$dir/drive_f" "$dosdevices/f:"
    ln -sfn "$dir/missing" "$dosdevices/m:"
    ln -sfn "$dir/readonly" "$dosdevices/w:"
    ln -sfn "$dir/drive_r" "$dosdevices/r:"
    export KORVANE_TEST_DOSDEVICES="$dosdevices"
    export KORVANE_TEST_REMOVABLE="$dir/drive_r"
    cd "$build"
    ctest --output-on-failure --no-tests=error "$@"
  )
}

echo "Wine prefix ready in $(( $(date +%s) - started )) s"
status=0
if (($#)); then
  lane 1 "$@" || status=$?
else
  # Balanced by the programs' times: each lane takes about half.
  first='^test_(reliability|e2e|keyboard|tweaks.*)$'
  lane 1 -R "$first" >"$run/lane1.log" 2>&1 &
  lanes+=($!)
  lane 2 -E "$first" >"$run/lane2.log" 2>&1 &
  lanes+=($!)
  for i in 0 1; do
    wait "${lanes[$i]}" || status=$?
    echo "--- lane $((i + 1))"
    cat "$run/lane$((i + 1)).log"
  done
  lanes=()
fi
echo "Full test run took $(( $(date +%s) - started )) s"
exit $status

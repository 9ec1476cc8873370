#!/usr/bin/env bash
# Runs the test programs under Wine in a fresh, throwaway prefix with test
# drives and a virtual display. Meant to run in a private mount namespace.
set -euo pipefail
build="$(cd "$1" && pwd)"
shift

run="$(mktemp -d /tmp/korvane-tests.XXXXXX)"
export WINEPREFIX="$run/prefix"
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG="-all"
export WINEARCH=win64

cleanup() {
  wineserver -k 2>/dev/null || true
  [[ -n "${xvfb:-}" ]] && kill "$xvfb" 2>/dev/null || true
  umount "$run/readonly" 2>/dev/null || true
  rm -rf "$run"
}
trap cleanup EXIT

started=$(date +%s)
# A virtual display for the tests that create windows; Xvfb picks a free number.
exec {displayfd}<> <(:)
Xvfb -displayfd "$displayfd" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
read -r -t 20 -u "$displayfd" number
export DISPLAY=":$number"

wineboot -i >/dev/null 2>&1
wineserver -w
wineserver -p  # stays up between test programs
# No window manager runs on the virtual display: without this, Wine waits two
# seconds for one on every hide or close of a window.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1

# Test drives: E: and F: are writable folders, M: a link to nothing (a missing
# drive), W: a read-only file system holding an infected autorun.inf.
mkdir -p "$run/drive_e" "$run/drive_f" "$run/readonly"
mount -t tmpfs -o size=1m tmpfs "$run/readonly"
printf '[autorun]\r\nopen=virus.exe\r\n' >"$run/readonly/autorun.inf"
mount -o remount,ro "$run/readonly"
dosdevices="$WINEPREFIX/dosdevices"
ln -sfn "$run/drive_e" "$dosdevices/e:"
ln -sfn "$run/drive_f" "$dosdevices/f:"
ln -sfn "$run/missing" "$dosdevices/m:"
ln -sfn "$run/readonly" "$dosdevices/w:"
export KORVANE_TEST_DOSDEVICES="$dosdevices"

echo "Wine prefix ready in $(( $(date +%s) - started )) s"
cd "$build"
status=0
ctest --output-on-failure --no-tests=error "$@" || status=$?
echo "Full test run took $(( $(date +%s) - started )) s"
exit $status

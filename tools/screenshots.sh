#!/usr/bin/env bash
# Renders every window under Wine on a virtual desktop and writes the PNGs to
# docs/screenshots/ (96 DPI) and docs/screenshots/144dpi/. The layout test
# program opens each window, checks that its captions fit, and saves it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh" --tests >/dev/null

run="$(mktemp -d /tmp/korvane-shots.XXXXXX)"
# shellcheck source=../tests/support/wine-prefix.sh
source "$root/tests/support/wine-prefix.sh"
cleanup() { korvane_stop; rm -rf "$run"; }
trap cleanup EXIT
korvane_display 1280x1024
korvane_prefix "$run/prefix" 1280x1024
wineserver -p
# The Check a Drive picture shows an infected test drive in E:, as the tests make it.
mkdir -p "$run/drive_e"
ln -sfn "$run/drive_e" "$WINEPREFIX/dosdevices/e:"

mkdir -p "$run/shots"
status=0
KORVANE_SHOTS="$(winepath -w "$run/shots")" wine "$root/build/test_layout.exe" >"$run/log.txt" 2>&1 || status=$?
tr -d '\r' <"$run/log.txt" | grep -E '^\[  (PASSED|FAILED) |Failure|DPI' || true

out="$root/docs/screenshots"
mkdir -p "$out/144dpi"
for bmp in "$run/shots/96/"*.bmp; do
  convert "$bmp" -strip "$out/$(basename "$bmp" .bmp).png"
done
for bmp in "$run/shots/144/"*.bmp; do
  convert "$bmp" -strip "$out/144dpi/$(basename "$bmp" .bmp).png"
done
echo "Pictures written to $out ($(ls "$out"/*.png | wc -l) at 96 DPI, $(ls "$out"/144dpi/*.png | wc -l) at 144 DPI)"
exit $status

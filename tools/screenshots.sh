#!/usr/bin/env bash
# Renders every window under Wine on a virtual desktop and writes the PNGs to
# docs/screenshots/ (96 DPI) and docs/screenshots/144dpi/. The layout test
# program opens each window, checks that its captions fit, and saves it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh" --tests >/dev/null

run="$(mktemp -d /tmp/korvane-shots.XXXXXX)"
export WINEPREFIX="$run/prefix" WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all WINEARCH=win64
cleanup() { wineserver -k 2>/dev/null || true; kill "${xvfb:-0}" 2>/dev/null || true; rm -rf "$run"; }
trap cleanup EXIT
exec {displayfd}<> <(:)
Xvfb -displayfd "$displayfd" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
read -r -t 20 -u "$displayfd" number
export DISPLAY=":$number"
wineboot -i >/dev/null 2>&1
wineserver -w
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1280x1024 /f >/dev/null 2>&1
# The title bar's buttons are drawn from Marlett, which comes with Debian's
# fonts-wine; without it they show as "0 1 r". Only this prefix gets it.
if [[ ! -f /usr/share/wine/fonts/marlett.ttf ]]; then
  (cd "$run" && apt-get download fonts-wine >/dev/null 2>&1 && dpkg-deb -x fonts-wine_*.deb fonts-wine) &&
    cp "$run/fonts-wine/usr/share/wine/fonts/marlett.ttf" "$WINEPREFIX/drive_c/windows/Fonts/" ||
    echo "fonts-wine not available: title bar buttons will show as letters"
fi
wineserver -w
wineserver -p

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

#!/usr/bin/env bash
# Measures Korvane against a minimal Win32 program on the same Wine and
# display: start to main window visible (with the splash off) and memory
# once up, medians of many runs; then the exe's size and its imports.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
runs="${1:-21}"
"$root/scripts/setup.sh"
"$root/scripts/build.sh" --tests >/dev/null
build="$root/build"

run="$(mktemp -d /tmp/korvane-bench.XXXXXX)"
export WINEPREFIX="$run/prefix" WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all
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
wine reg add 'HKCU\Software\Korvane' /v splash /t REG_DWORD /d 0 /f >/dev/null 2>&1
wineserver -w
wineserver -p

# Through a file: Wine's background processes would hold a pipe open.
timer() {
  wine "$build/start_timer.exe" "$@" >"$run/timer.txt" 2>&1 || true
  tr -d '\r' <"$run/timer.txt"
}
timer 3 Minimal "$build/minimal_window.exe" >/dev/null  # warms the desktop and caches
timer "$runs" Minimal "$build/minimal_window.exe"
timer "$runs" Korvane "$build/korvane.exe"
echo "korvane.exe: $(stat -c %s "$build/korvane.exe") bytes; imports: $(x86_64-w64-mingw32-objdump -p "$build/korvane.exe" | awk '/DLL Name/ {printf "%s ", $3}')"

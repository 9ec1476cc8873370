#!/usr/bin/env bash
# A drive of many files, every one hidden and system, checked, cleaned and
# undone in-process (bench/hidden_timer.cpp, beside the bare system calls) and
# from the command line (beside a bare walk and bare attribute passes run in
# the same process as each other). The drive lives on tmpfs when tmpfs keeps
# Wine's attributes (user extended attributes, Linux 6.6 and later), else on disk.
# Usage: hidden_drive.sh <build folder> [files] [runs]; uses $WINEPREFIX when set.
set -euo pipefail
build="$(cd "$1" && pwd)"
files="${2:-100000}"
runs="${3:-3}"
root="$(cd "$(dirname "$0")/.." && pwd)"

own_prefix=""
if [[ -z "${WINEPREFIX:-}" ]]; then
  own_prefix="$(mktemp -d /tmp/korvane-hidden.XXXXXX)"
  # shellcheck source=../tests/support/wine-prefix.sh
  source "$root/tests/support/wine-prefix.sh"
  korvane_prefix "$own_prefix/prefix"
  # Removable, so that Check a Drive offers S:; Wine reads a drive's type when it starts.
  wine reg add 'HKLM\Software\Wine\Drives' /v s: /d floppy /f >/dev/null 2>&1
  wineserver -w
fi
drive=""
if python3 -c 'import os, sys, tempfile
with tempfile.NamedTemporaryFile(dir="/dev/shm") as f: os.setxattr(f.name, "user.korvane", b"1")' 2>/dev/null; then
  drive="$(mktemp -d /dev/shm/korvane-hidden-drive.XXXXXX)"
  echo "Hidden drive: on tmpfs (/dev/shm keeps user extended attributes here)"
else
  drive="$(mktemp -d /var/tmp/korvane-hidden-drive.XXXXXX)"
  echo "Hidden drive: on disk ($drive): tmpfs here does not keep user extended attributes"
fi
cleanup() {
  rm -f "$WINEPREFIX/dosdevices/s:"
  rm -rf "$drive"
  if [[ -n "$own_prefix" ]]; then wineserver -k 2>/dev/null || true; rm -rf "$own_prefix"; fi
}
trap cleanup EXIT
ln -sfn "$drive" "$WINEPREFIX/dosdevices/s:"
# Wine learns a drive's type when its server starts, so one already running (bench/run.sh's,
# started before S: was linked) is stopped first: Check a Drive then offers S: as the removable
# drive the registry says it is. The new server is kept running between the programs.
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
wineserver -p 2>/dev/null || true

# In-process: the scan, the clean and the undo against the bare calls, alternating, medians of the runs.
wine "$build/hidden_timer.exe" "$runs" "$files" S >"$drive.timer.txt" 2>&1 || true
tr -d '\r' <"$drive.timer.txt" | grep '^Hidden drive'
rm -f "$drive.timer.txt"
attributes=$(python3 -c 'import os, sys; d = sys.argv[1]; a = os.listdir(d)[0]; print(os.getxattr(os.path.join(d, a), "user.DOSATTRIB"))' "$drive" 2>/dev/null || echo "none")
echo "Hidden drive: Wine's attributes on a folder of the drive after the runs: $attributes"

# The command line, as a person runs it; each timed by the shell around Wine.
seconds() { local start end; start=$(date +%s.%N); "$@" >/dev/null 2>&1 || true; end=$(date +%s.%N); echo "$end - $start" | bc; }
check=$(seconds wine "$build/korvane.com" check S:)
clean=$(seconds wine "$build/korvane.com" check S: --clean)
undo=$(seconds wine "$build/korvane.com" undo last --force)
echo "Hidden drive command line: check S: ${check} s, check S: --clean ${clean} s, undo last ${undo} s (each including Wine's start of the program)"

# The window, timed from another process: "Scan" to the last row listed (a display is needed).
if [[ -n "${DISPLAY:-}" ]]; then
  wine "$build/window_timer.exe" "$runs" "$files" S "$build/korvane.exe" >"$drive.window.txt" 2>&1 || true
  tr -d '\r' <"$drive.window.txt" | grep -E '^(run|Window check)'
  rm -f "$drive.window.txt"
fi

#!/usr/bin/env bash
# Measures Korvane against a minimal Win32 program on the same Wine and
# display: start to main window visible (with the splash off) and memory
# once up, click to tweak window visible against an empty window, medians of
# many runs; then the exe's size and its imports. Ends with a Markdown table.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
runs="${1:-21}"
"$root/scripts/setup.sh"
"$root/scripts/build.sh" --tests >/dev/null
build="$root/build"

run="$(mktemp -d /tmp/korvane-bench.XXXXXX)"
# shellcheck source=../tests/support/wine-prefix.sh
source "$root/tests/support/wine-prefix.sh"
cleanup() { korvane_stop; rm -rf "$run"; }
trap cleanup EXIT
korvane_display 1280x1024
korvane_prefix "$run/prefix" 1280x1024
wine reg add 'HKCU\Software\Korvane' /v splash /t REG_DWORD /d 0 /f >/dev/null 2>&1
wineserver -w
wineserver -p

# Through a file: Wine's background processes would hold a pipe open.
timer() {
  wine "$build/start_timer.exe" "$@" >"$run/timer.txt" 2>&1 || true
  tr -d '\r' <"$run/timer.txt"
}
timer 3 Minimal "$build/minimal_window.exe" >/dev/null  # warms the desktop and caches
timer "$runs" Minimal "$build/minimal_window.exe" | tee "$run/minimal.txt"
timer "$runs" Korvane "$build/korvane.exe" | tee "$run/korvane.txt"
timer "$runs" Minimal "$build/minimal_comctl.exe" | sed 's/^Minimal:/Minimal with common controls 6 and the manifest:/' |
  tee "$run/comctl.txt"
wine "$build/tweak_timer.exe" "$runs" >"$run/tweaks.txt" 2>&1 || true
tr -d '\r' <"$run/tweaks.txt" | tee "$run/tweaks-clean.txt"
size=$(stat -c %s "$build/korvane.exe")
imports=$(x86_64-w64-mingw32-objdump -p "$build/korvane.exe" | awk '/DLL Name/ {printf "%s ", $3}')
echo "korvane.exe: $size bytes; imports: $imports"

# The table for the README: measured value, yardstick, ratio, target.
python3 - "$run" "$size" "$imports" <<'PY'
import re, sys
run, size, imports = sys.argv[1], int(sys.argv[2]), sys.argv[3].split()
def fields(name):
    text = open(f"{run}/{name}.txt").read()
    m = re.search(r"runs (\d+), start-to-visible median ([\d.]+) ms.*private (\d+) KiB, working set (\d+) KiB", text)
    return int(m[1]), float(m[2]), int(m[3]), int(m[4])
runs, k_ms, k_priv, k_ws = fields("korvane")
_, m_ms, m_priv, m_ws = fields("minimal")
rows = []
_, c_ms, c_priv, c_ws = fields("comctl")
def row(what, value, base, unit, limit):
    if not base:
        rows.append(f"| {what} | {value:.1f} {unit} | not measured | | at most {limit} | unknown |")
        return
    ratio = value / base
    rows.append(f"| {what} | {value:.1f} {unit} | {base:.1f} {unit} | {ratio:.2f} | at most {limit} | {'met' if ratio <= limit else 'missed'} |")
row("(a) start to main window visible (splash off) vs minimal program", k_ms, m_ms, "ms", 1.3)
tweaks = open(f"{run}/tweaks-clean.txt").read()
empty = float(re.search(r"create-and-show median ([\d.]+) ms", tweaks)[1])
for m in re.finditer(r"^(.+?) \((.*?)\): runs \d+, click-to-visible median ([\d.]+) ms", tweaks, re.M):
    row(f"(b) click \"{m[1]}\" to window visible vs empty window", float(m[3]), empty, "ms", 1.5)
row("(c) private bytes after start-up vs minimal program", k_priv, m_priv, "KiB", 1.5)
row("(c) working set after start-up vs minimal program", k_ws, m_ws, "KiB", 1.5)
system = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "comctl32.dll",
          "comdlg32.dll", "uxtheme.dll", "shlwapi.dll", "msvcrt.dll", "ole32.dll"}
others = [d for d in imports if d.lower() not in system and not d.lower().startswith("api-ms-win-")]
print(f"\nMedians of {runs} runs each.\n")
print("| Measure | Korvane | Yardstick | Ratio | Target | |")
print("|---|---|---|---|---|---|")
print("\n".join(rows))
print(f"| (a), (c) for comparison: the minimal program with common controls 6 and Korvane's manifest | {c_ms:.1f} ms, private {c_priv} KiB, working set {c_ws} KiB | | | | |")
print(f"| (d) korvane.exe size | {size / 1024:.0f} KiB | | | at most 512 KiB | {'met' if size <= 512 * 1024 else 'missed'} |")
print(f"| (d) imported DLLs | {', '.join(imports)} | | | system DLLs only | {'met' if not others else 'missed: ' + ', '.join(others)} |")
PY

# The change journal: a tweak click with its record against the same writes unrecorded; a journal of 10,000 groups.
wine "$build/journal_timer.exe" "$runs" >"$run/journal.txt" 2>&1 || true
python3 - "$run/journal.txt" <<'PY'
import re, sys
text = open(sys.argv[1]).read().replace("\r", "")
click = re.search(r"with its journal record median ([\d.]+) ms, unrecorded median ([\d.]+) ms", text)
read = re.search(r"Read a journal of (\d+) groups: median ([\d.]+) ms", text)
shown = re.search(r"Open the Undo Changes window on it: ([\d.]+) ms", text)
if not (click and read and shown):
    print("| (e), (f) the change journal | not measured | | | | |")
    sys.exit()
a, b = float(click[1]), float(click[2])
print(f"| (e) tweak click with its journal record vs the same writes unrecorded | {a:.2f} ms | {b:.2f} ms | {a / b:.2f} | at most 1.1 | {'met' if a / b <= 1.1 else 'missed'} |")
for what, ms in ((f"read a journal of {read[1]} groups", float(read[2])), ("open the Undo Changes window on it", float(shown[1]))):
    print(f"| (f) {what} | {ms:.0f} ms | | | well under 1000 ms | {'met' if ms < 500 else 'missed'} |")
PY

#!/usr/bin/env bash
# Measures Korvane against floors of our own that make the same windows
# directly with Win32 (bench/floor_main.cpp, bench/floor_page.cpp), on the
# same Wine and display: start to main window visible (with the splash off)
# and memory once up, click to tweak window visible (in the process, and from
# another process as a user's click comes), medians of many runs; then the
# exe's size and its imports. Ends with a Markdown table.
# Usage: run.sh [runs] [build folder to compare with, e.g. main's]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
runs="${1:-21}"
before="${2:-}"  # a build folder of the code to compare with: its korvane.exe and tweak_timer.exe
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
# The hidden drive S: is removable, so that Check a Drive offers it; Wine reads a drive's type when it starts.
wine reg add 'HKLM\Software\Wine\Drives' /v s: /d floppy /f >/dev/null 2>&1
wineserver -w
wineserver -p

# Through a file: Wine's background processes would hold a pipe open.
timer() {
  wine "$build/start_timer.exe" "$@" >"$run/timer.txt" 2>&1 || true
  tr -d '\r' <"$run/timer.txt"
}
timer 3 Minimal "$build/minimal_window.exe" >/dev/null  # warms the desktop and caches
# Korvane and its floor (and the build compared with, if given) take turns run
# by run, so that a busy spell of the machine falls on each alike.
for _ in $(seq "$runs"); do
  timer 1 Korvane "$build/floor_main.exe" >>"$run/floor.txt"
  timer 1 Korvane "$build/korvane.exe" >>"$run/korvane.txt"
  if [[ -n "$before" ]]; then timer 1 Korvane "$before/korvane.exe" >>"$run/before.txt"; fi
done
# A click on each tweak button from another process, in a fresh process each
# time, to the page visible and painted; the floor opens the same pages made
# directly, described once by tweak_timer in a file of its own.
wine "$build/tweak_timer.exe" --floors "Z:$run/floors.bin" >/dev/null 2>&1 || true
pages=("Security Tweaks" "Appearance Tweaks" "IE Tweaks" "Control Panel Tweaks")
for _ in $(seq "$runs"); do
  for page in "${pages[@]}"; do
    timer --click "Tweak/$page" 1 Korvane "$build/floor_main.exe" "Z:$run/floors.bin" | grep "^click " >>"$run/floor-clicks.txt" || echo "$page: the floor was not measured" >&2
    timer --click "Tweak/$page" 1 Korvane "$build/korvane.exe" | grep "^click " >>"$run/korvane-clicks.txt" || echo "$page: Korvane was not measured" >&2
  done
done
timer "$runs" Minimal "$build/minimal_window.exe" | grep -v '^run ' | tee "$run/minimal.txt"
timer "$runs" Minimal "$build/minimal_comctl.exe" | grep -v '^run ' |
  sed 's/^Minimal:/Minimal with common controls 6 and the manifest:/' | tee "$run/comctl.txt"
wine "$build/tweak_timer.exe" "$runs" >"$run/tweaks.txt" 2>&1 || true
tr -d '\r' <"$run/tweaks.txt" | tee "$run/tweaks-clean.txt"
if [[ -n "$before" ]]; then
  wine "$before/tweak_timer.exe" "$runs" >"$run/before-tweaks.txt" 2>&1 || true
  tr -d '\r' <"$run/before-tweaks.txt" | grep -v '^Profile' | sed 's/^/Before: /'
  tr -d '\r' <"$run/before-tweaks.txt" >"$run/before-tweaks-clean.txt"
fi
size=$(stat -c %s "$build/korvane.exe")
imports=$(x86_64-w64-mingw32-objdump -p "$build/korvane.exe" | awk '/DLL Name/ {printf "%s ", $3}')
echo "korvane.exe: $size bytes; imports: $imports"

# The table for the README: measured value, yardstick, ratio, target.
python3 - "$run" "$size" "$imports" "$before" <<'PY'
import re, statistics, sys
run, size, imports, before = sys.argv[1], int(sys.argv[2]), sys.argv[3].split(), sys.argv[4]
def runs_of(name):
    values = [tuple(map(float, m)) for m in
              re.findall(r"^run ([\d.]+) ms, private ([\d.]+) KiB, working set ([\d.]+) KiB", open(f"{run}/{name}.txt").read(), re.M)]
    return len(values), *(statistics.median(v[i] for v in values) for i in range(3))
def summary(name):
    m = re.search(r"start-to-visible median ([\d.]+) ms.*private (\d+) KiB, working set (\d+) KiB", open(f"{run}/{name}.txt").read())
    return float(m[1]), int(m[2]), int(m[3])
def outside(name):
    """Each page's click times and what its window held, as start_timer --click printed them."""
    times, made = {}, {}
    for m in re.finditer(r"^click (.+?): ([\d.]+) ms \((.*)\)", open(f"{run}/{name}.txt").read(), re.M):
        times.setdefault(m[1], []).append(float(m[2]))
        made.setdefault(m[1], set()).add(m[3])
    return times, made
def pages(name):
    text = open(f"{run}/{name}.txt").read()
    clicks = {m[1]: float(m[2]) for m in re.finditer(r"^(.+?) \(.*?\): runs \d+, click-to-visible median ([\d.]+) ms", text, re.M)}
    floors = {m[1]: float(m[2]) for m in re.finditer(r"^Floor (.+?): runs \d+, click-to-visible median ([\d.]+) ms", text, re.M)}
    return clicks, floors
count, k_ms, k_priv, k_ws = runs_of("korvane")
_, f_ms, f_priv, f_ws = runs_of("floor")
m_ms, m_priv, m_ws = summary("minimal")
c_ms, c_priv, c_ws = summary("comctl")
clicks, floors = pages("tweaks-clean")
rows = []
def row(what, value, base, unit, limit):
    ratio = value / base if base else float("inf")
    result = "" if limit is None else ("met" if ratio <= limit else "missed")
    rows.append(f"| {what} | {value:.1f} {unit} | {base:.1f} {unit} | {ratio:.2f} | {'' if limit is None else f'at most {limit}'} | {result} |")
row("(a) start to main window visible (splash off) vs its floor", k_ms, f_ms, "ms", 1.15)
for page, ms in clicks.items():
    row(f"(b) click \"{page}\" to window visible vs its floor", ms, floors.get(page, 0), "ms", 1.2)
floor_clicks, floor_made = outside("floor-clicks")
korvane_clicks, korvane_made = outside("korvane-clicks")
for page, times in korvane_clicks.items():
    base = floor_clicks.get(page, [0])
    row(f"(b') click \"{page}\" from another process vs its floor", statistics.median(times), statistics.median(base), "ms", 1.2)
    # A floor that makes another page than Korvane's measures nothing.
    if korvane_made[page] != floor_made.get(page):
        rows[-1] = rows[-1].rsplit("|", 2)[0] + f"| not comparable: Korvane's window held {sorted(korvane_made[page])}, the floor's {sorted(floor_made.get(page, []))} |"
    print(f"{page} from another process: Korvane median {statistics.median(times):.1f} ms (fastest {min(times):.1f}), "
          f"floor median {statistics.median(base):.1f} ms (fastest {min(base):.1f}), {len(times)} runs; {', '.join(sorted(korvane_made[page]))}")
row("(c) private bytes after start-up vs the floor", k_priv, f_priv, "KiB", 1.2)
row("(c) working set after start-up vs the floor", k_ws, f_ws, "KiB", None)
system = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "comctl32.dll",
          "comdlg32.dll", "uxtheme.dll", "shlwapi.dll", "msvcrt.dll", "ole32.dll"}
others = [d for d in imports if d.lower() not in system and not d.lower().startswith("api-ms-win-")]
print(f"\nMedians of {count} runs each.\n")
print("| Measure | Korvane | Yardstick | Ratio | Target | |")
print("|---|---|---|---|---|---|")
print("\n".join(rows))
print(f"| for comparison: a minimal program with one empty window | {m_ms:.1f} ms, private {m_priv} KiB, working set {m_ws} KiB | | | | |")
print(f"| for comparison: the same with common controls 6 and Korvane's manifest | {c_ms:.1f} ms, private {c_priv} KiB, working set {c_ws} KiB | | | | |")
print(f"| (d) korvane.exe size | {size / 1024:.0f} KiB | | | at most 512 KiB | {'met' if size <= 512 * 1024 else 'missed'} |")
print(f"| (d) imported DLLs | {', '.join(imports)} | | | system DLLs only | {'met' if not others else 'missed: ' + ', '.join(others)} |")
if before:
    _, b_ms, b_priv, _ = runs_of("before")
    b_clicks, b_floors = pages("before-tweaks-clean")
    print(f"\nBefore ({before}) and after, same run. Start-up and memory against the one floor, run by run;")
    print("a page against the floor timed beside it in the same process.\n")
    print("| Measure | Before | Floor | Ratio | After | Floor | Ratio |")
    print("|---|---|---|---|---|---|---|")
    def pair(what, old, old_base, new, new_base, unit):
        print(f"| {what} | {old:.1f} {unit} | {old_base:.1f} {unit} | {old / old_base:.2f} "
              f"| {new:.1f} {unit} | {new_base:.1f} {unit} | {new / new_base:.2f} |")
    pair("(a) start to main window visible", b_ms, f_ms, k_ms, f_ms, "ms")
    for page, ms in clicks.items():
        if page in b_clicks and page in b_floors and page in floors:
            pair(f"(b) click \"{page}\"", b_clicks[page], b_floors[page], ms, floors[page], "ms")
    pair("(c) private bytes after start-up", b_priv, f_priv, k_priv, f_priv, "KiB")
PY

# The change journal: a tweak click with its record against the same writes unrecorded plus one flush; a journal of 10,000 groups.
wine "$build/journal_timer.exe" "$runs" >"$run/journal.txt" 2>&1 || true
python3 - "$run/journal.txt" <<'PY'
import re, sys
text = open(sys.argv[1]).read().replace("\r", "")
clicks = re.findall(r"^(.*click.*): runs \d+, with its journal record median ([\d.]+) ms, unrecorded median ([\d.]+) ms, one flushed append median ([\d.]+) ms", text, re.M)
read = re.search(r"Read a journal of (\d+) groups: median ([\d.]+) ms", text)
shown = re.search(r"Open the Undo Changes window on it: ([\d.]+) ms", text)
if not (clicks and read and shown):
    print("| (e), (f) the change journal | not measured | | | | |")
    sys.exit()
for what, *times in clicks:
    a, b, f = map(float, times)
    print(f"| (e) {what.lower()} with its journal record vs the same writes unrecorded plus one flushed append ({b:.2f} + {f:.2f} ms) | {a:.2f} ms | {b + f:.2f} ms | {a / (b + f):.2f} | at most 1.1 | {'met' if a / (b + f) <= 1.1 else 'missed'} |")
for what, ms in ((f"read a journal of {read[1]} groups", float(read[2])), ("open the Undo Changes window on it", float(shown[1]))):
    print(f"| (f) {what} | {ms:.0f} ms | | | well under 1000 ms | {'met' if ms < 500 else 'missed'} |")
PY
# `undo list` and `undo show` on a journal of one clean of 100,000 items: once its index is written, near Wine's start alone.
"$root/bench/journal_list.sh" "$build" 100000 7 || echo "Journal list: not measured"
# The drive check's scan against a bare FindFirstFileExW walk of the same generated 100,000 items (target: at most 1.2).
wine "$build/scan_timer.exe" 5 100000 >"$run/scan.txt" 2>&1 || true
tr -d '\r' <"$run/scan.txt" | grep "^Drive check scan" || echo "Drive check scan: not measured"
# A drive where every item is hidden and system: check, clean and undo against the bare calls, in the same run.
"$root/bench/hidden_drive.sh" "$build" 100000 3 || echo "Hidden drive: not measured"

# ---- Check This Computer ----
# Its scan against a bare read of the same places (target: at most 1.5), on a
# prefix of its own that the timer seeds with 1,000 Run values and 1,000
# Startup files, half of them shortcuts; all of them inert.
(
  export WINEPREFIX="$run/computer-prefix"
  WINEARCH=win64 wineboot -i >/dev/null 2>&1
  wineserver -w
  wine "$build/computer_timer.exe" 5 >"$run/computer.txt" 2>&1 || true
  wineserver -k 2>/dev/null || true
)
tr -d '\r' <"$run/computer.txt" | grep '^Computer check scan:' || echo "Computer check scan: not measured"

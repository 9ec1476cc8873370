#!/usr/bin/env bash
# `korvane undo list` and `korvane undo show` on a journal holding one clean of
# many items and a click after it, as a person runs them: the first list reads
# the journal whole and writes its index, the next ones read the index. Beside
# them Wine's start of the program alone (`korvane help`). The journal found
# in the prefix is set aside and put back.
# Usage: journal_list.sh <build folder> [items] [runs]; uses $WINEPREFIX.
set -euo pipefail
build="$(cd "$1" && pwd)"
items="${2:-100000}"
runs="${3:-7}"
folder="$WINEPREFIX/drive_c/users/$(whoami)/AppData/Local/Korvane"
mkdir -p "$folder"
aside="$(mktemp -d /tmp/korvane-journal-aside.XXXXXX)"
mv "$folder/journal.jsonl" "$folder/journal.index" "$aside/" 2>/dev/null || true
cleanup() {
  rm -f "$folder/journal.jsonl" "$folder/journal.index"
  mv "$aside"/* "$folder/" 2>/dev/null || true
  rmdir "$aside"
}
trap cleanup EXIT
python3 - "$folder/journal.jsonl" "$items" <<'PY'
import sys
with open(sys.argv[1], "w", newline="\n") as out:
    out.write('{"group":1,"time":"2026-12-08 14:03:12","what":"Check a Drive: clean of drive S: (HOLIDAY)","drives":"S"}\n')
    for n in range(int(sys.argv[2])):
        out.write('{"group":1,"n":%d,"kind":"attributes","path":"S:\\\\DCIM\\\\%03d\\\\IMG_%06d.JPG","before":6,"after":0}\n' % (n, n // 1000, n))
    out.write('{"group":1,"end":true,"changes":%s}\n' % sys.argv[2])
    out.write('{"group":2,"time":"2026-12-08 14:05:00","what":"Security Tweaks: Disable Task Manager checked"}\n')
    out.write('{"group":2,"n":0,"kind":"registry","root":"HKCU","key":"Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Policies\\\\System","name":"DisableTaskMgr","before":null,"after":{"type":4,"hex":"01000000","text":"1"}}\n')
    out.write('{"group":2,"end":true}\n')
PY
# Seconds and peak resident KiB of one run, as GNU time sees the program under Wine.
measure() { { /usr/bin/time -f "%e s, %M KiB" wine "$build/korvane.com" "$@" >/dev/null; } 2>&1 | tail -1; }
median() { for _ in $(seq "$runs"); do measure "$@"; done | sort -n | sed -n "$(((runs + 1) / 2))p"; }
first=$(measure undo list)
echo "Journal of $items items ($(stat -c %s "$folder/journal.jsonl") bytes): undo list first (writes the index) $first;" \
  "undo list median $(median undo list); undo show 2 median $(median undo show 2); korvane help median $(median help)"

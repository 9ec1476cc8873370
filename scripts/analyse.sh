#!/usr/bin/env bash
# Static analysis of src/: cppcheck for Windows beside clang-tidy with the
# checks in .clang-tidy. Any finding fails. Needs build/compile_commands.json
# (scripts/build.sh writes it).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
jobs="$(nproc)"
started=$(date +%s)

[[ -f build/compile_commands.json ]] || { echo "build/compile_commands.json is missing: run scripts/build.sh" >&2; exit 1; }
# clang-tidy reads one unit per folder of src/, made of the folder's files
# included in turn: most of a file's analysis is walking the system's headers,
# and a folder's files then walk them once (a quarter of the time). So names
# private to a file must differ within its folder, as the test folders' must.
# The units take the build's commands without its precompiled headers (g++'s,
# which clang cannot read).
units=build/analysis/units
rm -rf "$units" && mkdir -p "$units"
python3 - "$root" "$units" <<'PY'
import collections, json, os, re, sys
root, units = sys.argv[1], sys.argv[2]
commands = json.load(open(f"{root}/build/compile_commands.json"))
folders = collections.defaultdict(list)
for entry in commands:
    if entry["file"].startswith(f"{root}/src/") and entry["file"].endswith(".cpp"):
        folders[os.path.dirname(entry["file"])].append(entry)
database = []
for folder, entries in sorted(folders.items()):
    unit = os.path.abspath(f"{units}/{os.path.relpath(folder, root).replace('/', '_')}.cpp")
    with open(unit, "w") as out:
        for entry in sorted(entries, key=lambda e: e["file"]):
            out.write(f'// NOLINTNEXTLINE(bugprone-suspicious-include)\n#include "{entry["file"]}"\n')
    command = entries[0]["command"].replace(entries[0]["file"], unit)
    command = re.sub(r" -Winvalid-pch| -include \S*cmake_pch\.hxx", "", command)
    database.append({"directory": entries[0]["directory"], "command": command, "file": unit})
json.dump(database, open(f"{units}/compile_commands.json", "w"), indent=1)
PY

# cppcheck runs beside clang-tidy, so that neither waits for the other's last
# file with a core idle; its findings are shown once both are done.
cppcheck_log="$(mktemp)"
trap 'rm -f "$cppcheck_log"' EXIT
echo "cppcheck: src/ (beside clang-tidy)"
# useStlAlgorithm is left out: it suggests rewriting plain loops as algorithm
# calls, a matter of taste, not a fault. Everything else it finds fails the run.
cppcheck --platform=win64 --library=windows --std=c++20 --language=c++ \
  -D_WIN32 -D_WIN64 -D__MINGW32__ -D__MINGW64__ -DUNICODE -D_UNICODE -DNOMINMAX -DWIN32_LEAN_AND_MEAN \
  -D_WIN32_WINNT=0x0A00 -DWINVER=0x0A00 -I src \
  --enable=warning,style,performance,portability --suppress=useStlAlgorithm --inline-suppr \
  --error-exitcode=1 --quiet -j "$jobs" \
  --template='{file}:{line}: {severity}: {message} [{id}]' src >"$cppcheck_log" 2>&1 &
cppcheck_pid=$!

# g++'s C++ library and the mingw-w64 Windows headers, so that clang reads what g++
# reads (clang's own intrinsics, not g++'s). Compiler warnings are the build's
# job (-Werror), so clang's are off here.
gcc_dir="$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")"
args=(
  --quiet -p "$units"
  --extra-arg=--target=x86_64-w64-mingw32
  --extra-arg=-w
  --extra-arg=-nostdinc++
  --extra-arg=-isystem"$gcc_dir"/include/c++
  --extra-arg=-isystem"$gcc_dir"/include/c++/x86_64-w64-mingw32
  --extra-arg=-isystem/usr/x86_64-w64-mingw32/include
)
echo "clang-tidy: src/**/*.cpp, a unit per folder"
# Findings fail the run through xargs; only clang-tidy's count of what it hid is dropped.
tidy=0
ls -S "$units"/*.cpp | xargs -P "$jobs" -n 1 clang-tidy "${args[@]}" \
  2> >(grep -v '^[0-9]* warnings\? generated\.$' >&2 || true) || tidy=$?
checked=0
wait "$cppcheck_pid" || checked=$?
cat "$cppcheck_log"
if ((tidy || checked)); then
  echo "Static analysis: findings (clang-tidy status $tidy, cppcheck status $checked)." >&2
  exit 1
fi
echo "Static analysis: no findings ($(( $(date +%s) - started )) s)."

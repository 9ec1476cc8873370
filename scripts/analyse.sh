#!/usr/bin/env bash
# Static analysis of src/: cppcheck for Windows beside clang-tidy with the
# checks in .clang-tidy. Any finding fails. Needs build/compile_commands.json
# (scripts/build.sh writes it).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
jobs="$(nproc)"

[[ -f build/compile_commands.json ]] || { echo "build/compile_commands.json is missing: run scripts/build.sh" >&2; exit 1; }
# The build's commands without its precompiled headers (g++'s, which clang cannot
# read): each file is analysed on its own, so one that misses an include fails here.
mkdir -p build/analysis
sed -E 's# -Winvalid-pch##; s# -include [^ ]*cmake_pch\.hxx##' build/compile_commands.json >build/analysis/compile_commands.json

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
  --quiet -p build/analysis
  --extra-arg=--target=x86_64-w64-mingw32
  --extra-arg=-w
  --extra-arg=-nostdinc++
  --extra-arg=-isystem"$gcc_dir"/include/c++
  --extra-arg=-isystem"$gcc_dir"/include/c++/x86_64-w64-mingw32
  --extra-arg=-isystem/usr/x86_64-w64-mingw32/include
)
echo "clang-tidy: src/**/*.cpp"
# Findings fail the run through xargs; only clang-tidy's count of what it hid is dropped.
tidy=0
find src -name '*.cpp' | sort | xargs -P "$jobs" -n 4 clang-tidy "${args[@]}" \
  2> >(grep -v '^[0-9]* warnings\? generated\.$' >&2 || true) || tidy=$?
checked=0
wait "$cppcheck_pid" || checked=$?
cat "$cppcheck_log"
if ((tidy || checked)); then
  echo "Static analysis: findings (clang-tidy status $tidy, cppcheck status $checked)." >&2
  exit 1
fi
echo "Static analysis: no findings."

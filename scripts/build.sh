#!/usr/bin/env bash
# Configures and builds Korvane (and, with --tests, its tests) into build/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
tests=OFF
[[ "${1:-}" == "--tests" ]] && tests=ON

# ccache, where installed, lets several checkouts of the same sources share compiled objects.
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}"
  # The tests' precompiled header is cached only with these relaxed checks.
  export CCACHE_SLOPPINESS="${CCACHE_SLOPPINESS:-pch_defines,time_macros,include_file_mtime,include_file_ctime}"
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$root/build" -G Ninja "${launcher[@]}" \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DKORVANE_TESTS="$tests" -DKORVANE_WERROR=ON -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
cmake --build "$root/build" -j "$(nproc)"
echo "Built $root/build/korvane.exe"

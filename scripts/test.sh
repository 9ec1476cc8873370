#!/usr/bin/env bash
# Installs what is missing, builds Korvane with its tests, then runs the static
# analysis (scripts/analyse.sh) and every test under Wine against a fresh,
# throwaway prefix. .ci/run calls exactly this.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
started=$(date +%s)
"$root/scripts/setup.sh"
echo "Set-up took $(( $(date +%s) - started )) s"
started=$(date +%s)
"$root/scripts/build.sh" --tests
echo "Build took $(( $(date +%s) - started )) s"

# The analysis and the tests run side by side: the tests leave cores idle while
# Wine starts programs and windows. The analysis's report follows the tests' summary.
analysis_log="$(mktemp)"
trap 'rm -f "$analysis_log"' EXIT
"$root/scripts/analyse.sh" >"$analysis_log" 2>&1 &
analysis=$!
tests=0
# Its own mount namespace, so the write-protected test drive is a private mount.
unshare -m --propagation private "$root/tests/support/run-tests.sh" "$root/build" || tests=$?
analysed=0
wait "$analysis" || analysed=$?
cat "$analysis_log"
((tests == 0 && analysed == 0)) || { echo "Tests: status $tests; static analysis: status $analysed" >&2; exit 1; }

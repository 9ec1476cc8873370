#!/usr/bin/env bash
# Installs what is missing, builds Korvane with its tests, runs the static
# analysis (scripts/analyse.sh), then every test under Wine against a fresh,
# throwaway prefix. .ci/run calls exactly this.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh" --tests
"$root/scripts/analyse.sh"
# Its own mount namespace, so the write-protected test drive is a private mount.
exec unshare -m --propagation private "$root/tests/support/run-tests.sh" "$root/build"

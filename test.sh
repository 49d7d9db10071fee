#!/usr/bin/env bash
# Installs what is missing, builds and runs the whole test suite.
#   ./test.sh [preset]   preset: default (the default), asan or tsan
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
preset=${1:-default}
"$root/scripts/build.sh" "$preset"
cd "$root"
ctest --preset "$preset" -j "$(nproc)" --timeout 600

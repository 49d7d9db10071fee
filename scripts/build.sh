#!/usr/bin/env bash
# Installs what is missing and builds one preset (default: "default"). Compilations go through
# ccache, with paths taken relative to the checkout, so another clone of the same sources (or a
# second preset's unchanged files) builds from the cache.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
preset=${1:-default}
"$root/scripts/install-deps.sh"
cd "$root"
export CMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER:-ccache}
export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root}
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j "$(nproc)"

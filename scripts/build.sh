#!/usr/bin/env bash
# Installs what is missing and builds one preset (default: "default").
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
preset=${1:-default}
"$root/scripts/install-deps.sh"
cd "$root"
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j "$(nproc)"

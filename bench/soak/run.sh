#!/usr/bin/env bash
# A long recording on the default handset's camera, with sound, checked from the file alone:
# the drift between sound and pictures and anything lost (see avi_drift.cpp).
#   bench/soak/run.sh [seconds]   default 1800 (half an hour); the recording takes that long
# Builds what it needs in build/default (or uses PELKAVO_BUILD as it is), records headless on a
# fresh handset in build/soak-root and prints avi_drift's figures; the exit code is avi_drift's.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
seconds=${1:-1800}
[[ $seconds =~ ^[1-9][0-9]*$ ]] || { echo "usage: bench/soak/run.sh [seconds]" >&2; exit 2; }

build=${PELKAVO_BUILD:-$root/build/default}
if [[ -z ${PELKAVO_BUILD:-} ]]; then
  "$root/scripts/install-deps.sh"
  cmake --preset default -S "$root" >/dev/null
  cmake --build "$build" -j "$(nproc)" --target Pelkavo.exe avi_drift
fi

handset=$root/build/soak-root
rm -rf "$handset"
mkdir -p "$handset"
# The default handset with the capture mode stored as video (setting 23, row 1).
settings=""
for ((n = 0; n < 59; ++n)); do settings+=$([[ $n == 23 ]] && echo 1 || echo -1),; done
profile=$handset.profile
{
  cat "$root/device/profiles/asus-p525.profile"
  echo
  echo "registry = [HKEY_LOCAL_MACHINE\\Software\\Vendrasol\\Pelkavo] \"Settings\"=\"$settings\""
} >"$profile"
script=$handset.keys
printf '2s key Action\n%ss close\n' "$seconds" >"$script"

echo "Recording ${seconds} s on asus-p525 (ends about $(date -d "+$((seconds + 5)) seconds" +%H:%M:%S))"
HANDSET_PROFILE=$profile HANDSET_ROOT=$handset HANDSET_INPUT=$script HANDSET_DISPLAY=headless \
  PELKAVO_BUILD=$build "$root/run.sh" >/dev/null
video=$(find "$handset" -name '*.avi' | head -n 1)
[[ -n $video ]] || { echo "no recording was written" >&2; exit 1; }
ls -l "$video"
"$build/bin/avi_drift" "$video" "$seconds"

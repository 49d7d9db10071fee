#!/usr/bin/env bash
# Builds Pelkavo and runs it on the emulated handset with the given arguments.
#   HANDSET_PROFILE  the device profile (a name from device/profiles or a file path); see README
#   HANDSET_ROOT     the handset's file system and registry (default: ./handset-root)
# The exit code is Pelkavo's own: with -f it is 1 when the capture ran.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
"$root/scripts/build.sh" default
export HANDSET_ROOT=${HANDSET_ROOT:-$root/handset-root}
mkdir -p "$HANDSET_ROOT"
set +e
"$root/build/default/prog/Pelkavo.exe" "$@"
rc=$?
set -e
echo "Pelkavo ended with exit code $rc (handset files in $HANDSET_ROOT)"
# With -f the rest of the command line names the picture: a handset path when it starts with
# "\", which lies in the handset root, else a host path.
line="$*"
if [[ "$line" =~ (^|[[:space:]])-f[[:space:]]+(.+)$ ]]; then
  shot=${BASH_REMATCH[2]}
  host=$shot
  if [[ "$shot" == \\* ]]; then host="$HANDSET_ROOT${shot//\\//}"; fi
  if [[ -f "$host" ]]; then
    echo "Picture written: $host ($(stat -c %s "$host") bytes)"
  else
    echo "No picture was written to $host"
  fi
fi
exit $rc

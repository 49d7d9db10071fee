#!/usr/bin/env bash
# Builds Pelkavo and runs it on the emulated handset with the given arguments.
#   HANDSET_PROFILE  the device profile (a name from device/profiles or a file path); see README
#   HANDSET_ROOT     the handset's file system and registry (default: ./handset-root)
#   HANDSET_DISPLAY  headless or sdl; unset, the camera opens in a desktop window when there is
#                    a desktop ($DISPLAY or $WAYLAND_DISPLAY) that a window opens on
#   HANDSET_INPUT    a script that plays the user; headless without one and without arguments,
#                    the built-in demonstration device/desktop/demo.keys plays on a fresh handset
#                    (build/demo-root, laid anew each time, unless HANDSET_ROOT names another)
#   PELKAVO_BUILD    a build folder whose programs run as they are (no install, no build)
# The exit code is Pelkavo's own: with -f it is 1 when the capture ran. Afterwards the files the
# program wrote are listed: handset path, host path, size.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
if [[ -n ${PELKAVO_BUILD:-} ]]; then
  build=$PELKAVO_BUILD
else
  "$root/scripts/build.sh" default
  build=$root/build/default
fi
program=$build/prog/Pelkavo.exe
user_root=${HANDSET_ROOT:-}
export HANDSET_ROOT=${HANDSET_ROOT:-$root/handset-root}

# With -f (the program reads "-f" and what follows, spaces skipped) the rest of the command line
# names the picture, and no window is made.
line="$*"
shot=""
if [[ "$line" =~ (^|[[:space:]])-f[[:space:]]*([^[:space:]].*)$ ]]; then shot=${BASH_REMATCH[2]}; fi

# Files written from here on are the program's.
since=$(mktemp)
errors=$(mktemp)
trap 'rm -f "$since" "$errors"' EXIT

rc=""
set +e
if [[ -z $shot && -z ${HANDSET_DISPLAY:-} && ( -n ${DISPLAY:-} || -n ${WAYLAND_DISPLAY:-} ) ]]; then
  mkdir -p "$HANDSET_ROOT"
  # On a desktop that no window opens on (no access, no video driver) the program says so at
  # once, before it has done anything; it then runs headless.
  HANDSET_DISPLAY=sdl "$program" "$@" 2> >(tee "$errors" >&2)
  rc=$?
  wait
  if [[ $rc -eq 2 ]] && grep -q "HANDSET_DISPLAY=sdl: cannot open a window" "$errors"; then
    echo "No window opens on this desktop; running headless instead."
    rc=""
  fi
fi
if [[ -z $rc ]]; then
  if [[ -z $shot && -z ${HANDSET_INPUT:-} && ${HANDSET_DISPLAY:-headless} == headless ]]; then
    if [[ $# -eq 0 ]]; then
      if [[ -z $user_root ]]; then
        export HANDSET_ROOT=$root/build/demo-root
        rm -rf "$HANDSET_ROOT"
      fi
      export HANDSET_INPUT=$root/device/desktop/demo.keys
      echo "No desktop window: playing the demonstration $HANDSET_INPUT"
      echo "(a photo, an interval series and a few seconds of video with sound; about 25 s)"
    else
      echo "Headless and without HANDSET_INPUT nobody presses a key: Ctrl-C ends the program."
    fi
  fi
  mkdir -p "$HANDSET_ROOT"
  "$program" "$@"
  rc=$?
fi
set -e
echo "Pelkavo ended with exit code $rc (handset files in $HANDSET_ROOT)"

# The handset's own bookkeeping (registry, shell log, the programs' shared state) is not listed.
written=()
while IFS= read -r -d '' file; do written+=("$file"); done < <(
  find "$HANDSET_ROOT" -path "$HANDSET_ROOT/.system" -prune -o -type f -newer "$since" \
    ! -path "$HANDSET_ROOT/registry.reg" ! -path "$HANDSET_ROOT/shell.log" -print0 | sort -z)
if ((${#written[@]})); then
  echo "Files written (handset path, host path, size):"
  for file in "${written[@]}"; do
    relative=${file#"$HANDSET_ROOT"/}
    printf '  \\%s\t%s\t%s bytes\n' "${relative//\//\\}" "$file" "$(stat -c %s "$file")"
  done
fi
# A "-f" picture named by a host path lies outside the handset.
if [[ -n $shot ]]; then
  host=$shot
  if [[ "$shot" == \\* ]]; then host="$HANDSET_ROOT${shot//\\//}"; fi
  if [[ -f "$host" ]]; then
    echo "Picture written: $host ($(stat -c %s "$host") bytes)"
  else
    echo "No picture was written to $host"
  fi
fi
exit $rc

#!/usr/bin/env bash
# Builds Pelkavo and runs it on the emulated handset with the given arguments (./run.sh --help).
#   HANDSET_PROFILE  the device profile (a name from device/profiles or a file path); see README
#   HANDSET_ROOT     the handset's file system and registry (default: ./handset-root)
#   HANDSET_DISPLAY  headless or sdl; unset, the camera opens in a desktop window when there is
#                    a desktop ($DISPLAY or $WAYLAND_DISPLAY) that a window opens on
#   HANDSET_INPUT    a script that plays the user; headless without one and without arguments,
#                    the built-in demonstration device/desktop/demo.keys plays on a fresh handset
#                    (build/demo-root, laid anew each time, unless HANDSET_ROOT names another)
#   PELKAVO_BUILD    a build folder whose programs run as they are (no install, no build)
# A command line the program would not understand is refused (exit code 2) before anything is
# built. With -f the exit code says whether the picture was written (0) or not (1), and what
# Pelkavo itself returned is printed; otherwise it is Pelkavo's own. Afterwards the files the
# program wrote are listed: handset path, host path, size.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

usage() {
  cat <<'EOF'
Usage: ./run.sh [-s] [-r<n>] [-f <file>]
Builds Pelkavo and runs it on the emulated handset (HANDSET_PROFILE, default asus-p525).
  (nothing)    the camera in a desktop window; without a desktop, a short demonstration
  -s           the screen recorder: the handset's display instead of its camera
  -f <file>    one picture into <file> (the rest of the line, spaces included) and the end, no
               window; a file starting with \ is on the handset, any other on this computer
  -r<n>        with -f: the still size of row n (0 to 9) of the handset's size list
  -h, --help   this text
With -f the exit code is 0 when the picture was written and 1 when not; otherwise it is
Pelkavo's own. The HANDSET_* settings are in the README.
EOF
}

refuse() {
  echo "run.sh: $1" >&2
  echo "Try ./run.sh --help" >&2
  exit 2
}

# The program's command line: "-s", "-r<n>" (or "-r <n>") and "-f <file>", the file being the
# rest of the line (the program reads "-f" and what follows, spaces skipped).
shot=""
row=""
screen=""
arguments=("$@")
for ((i = 0; i < ${#arguments[@]}; ++i)); do
  argument=${arguments[i]}
  case $argument in
    -h | --help) usage; exit 0 ;;
    -s) screen=yes ;;
    -r[0-9]) row=${argument#-r} ;;
    -r)
      ((++i))
      [[ ${arguments[i]:-} =~ ^[0-9]$ ]] || refuse "-r takes the number of a size row, 0 to 9 (as in -r2)"
      row=${arguments[i]} ;;
    -r*) refuse "-r takes the number of a size row, 0 to 9 (as in -r2), not \"${argument#-r}\"" ;;
    -f*)
      rest=("${argument#-f}" "${arguments[@]:i+1}")
      shot="${rest[*]}"
      shot=${shot#"${shot%%[! ]*}"}
      [[ -n $shot ]] || refuse "-f takes the file to write the picture into (as in -f shot.jpg)"
      break ;;
    -*) refuse "unknown option \"$argument\"" ;;
    *) refuse "\"$argument\" is not an option; to take a picture into it: ./run.sh -f $argument" ;;
  esac
done
[[ -z $row || -n $shot ]] || refuse "-r$row picks the still size of a picture taken with -f: add -f <file>"

if [[ -n ${PELKAVO_BUILD:-} ]]; then
  build=$PELKAVO_BUILD
else
  "$root/scripts/build.sh" default
  build=$root/build/default
fi
program=$build/prog/Pelkavo.exe
user_root=${HANDSET_ROOT:-}
export HANDSET_ROOT=${HANDSET_ROOT:-$root/handset-root}

# The handset's root must be a folder this user can write; a new one is made.
prepare_root() {
  if [[ -e $HANDSET_ROOT && ! -d $HANDSET_ROOT ]]; then
    echo "run.sh: HANDSET_ROOT=$HANDSET_ROOT is a file, not a folder: name a folder for the handset's files" >&2
    exit 2
  fi
  local problem
  if ! problem=$(mkdir -p -- "$HANDSET_ROOT" 2>&1); then
    echo "run.sh: cannot make the handset's folder HANDSET_ROOT=$HANDSET_ROOT (${problem##*: })" >&2
    exit 2
  fi
  if [[ ! -w $HANDSET_ROOT ]]; then
    echo "run.sh: warning: HANDSET_ROOT=$HANDSET_ROOT cannot be written:" \
      "the handset saves no picture, video or setting there" >&2
  fi
}

# The host file of a handset path ("\My Documents\shot.jpg") in `host`, matched without case as the
# handset does; `missing` is the first of its folders that is not there, if any. The program's own
# folder is the folder of the executable.
handset_host_path() {
  local -a parts=() kept=()
  local part entry name
  IFS='\/' read -ra parts <<<"$1"
  for part in "${parts[@]}"; do
    case $part in
      '' | .) ;;
      ..) ((${#kept[@]})) && unset 'kept[${#kept[@]}-1]' ;;
      *) kept+=("$part") ;;
    esac
  done
  host=$HANDSET_ROOT
  missing=""
  if ((${#kept[@]} >= 2)) && [[ ${kept[0],,} == "program files" && ${kept[1],,} == pelkavo ]]; then
    host=${HANDSET_PROGRAM_DIR:-$build/prog}
    kept=("${kept[@]:2}")
  fi
  shopt -s nullglob dotglob
  for part in "${kept[@]}"; do
    entry=""
    if [[ -z $missing ]]; then
      for entry in "$host"/*; do
        name=${entry##*/}
        [[ ${name,,} == "${part,,}" ]] && break
        entry=""
      done
    fi
    if [[ -n $entry ]]; then host=$entry; else host=$host/$part; missing=${missing:-$host}; fi
  done
}

# The picture's file on this computer, and what keeps it from being written that can be seen now.
# The handset lays out its own folders (\My Documents, the storage cards) as it starts: on a
# handset that never ran, a handset path's first folder is not there yet, and is not checked.
target=""
if [[ -n $shot ]]; then
  prepare_root
  target=$shot
  checked=$target
  if [[ $shot == \\* || $shot == //* ]]; then
    handset_host_path "$shot"
    target=$host
    [[ -z $missing || ${missing%/*} != "$HANDSET_ROOT" ]] || checked=""
  fi
  folder=$(dirname -- "$target")
  if [[ -d $target ]]; then
    echo "run.sh: $shot is a folder; -f takes the file to write the picture into" >&2
    exit 1
  elif [[ -n $checked && ! -d $folder ]]; then
    echo "run.sh: no picture can be written to $shot: the folder $folder does not exist" >&2
    exit 1
  elif [[ -n $checked && ! -w $folder ]]; then
    echo "run.sh: no picture can be written to $shot: the folder $folder cannot be written" >&2
    exit 1
  fi
  before=$(stat -c '%y %s %i' -- "$target" 2>/dev/null || true)
fi

# Files written from here on are the program's.
since=$(mktemp)
errors=$(mktemp)
trap 'rm -f "$since" "$errors"' EXIT

rc=""
set +e
if [[ -z $shot && -z ${HANDSET_DISPLAY:-} && ( -n ${DISPLAY:-} || -n ${WAYLAND_DISPLAY:-} ) ]]; then
  prepare_root
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
  prepare_root
  "$program" "$@"
  rc=$?
fi
set -e
source_used=camera
[[ -z $screen ]] || source_used=display
case $shot:$rc in
  :*) echo "Pelkavo ended with exit code $rc (handset files in $HANDSET_ROOT)" ;;
  *:1) echo "Pelkavo returned 1: the capture ran (handset files in $HANDSET_ROOT)" ;;
  *:0) echo "Pelkavo returned 0: the capture could not start, the handset's $source_used could not be used" ;;
  *:2) echo "Pelkavo returned 2: a handset setting stopped it (see above)" ;;
  *) echo "Pelkavo returned $rc: it ended without finishing (a signal or a crash)" ;;
esac

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
[[ -n $shot ]] || exit "$rc"

# With -f the picture is there when the program wrote its file anew, and not empty; a handset
# path is found again in the folders the handset may have laid out meanwhile.
if [[ $shot == \\* || $shot == //* ]]; then
  handset_host_path "$shot"
  target=$host
fi
after=$(stat -c '%y %s %i' -- "$target" 2>/dev/null || true)
if [[ -f $target && -s $target && $after != "$before" ]]; then
  echo "Picture written: $target ($(stat -c %s -- "$target") bytes)"
  exit 0
fi
case $rc in
  1) echo "No picture was written to $target" \
    "(the camera gave none, no encoder took it, or the file could not be written)" ;;
  *) echo "No picture was written to $target" ;;
esac
exit 1

#!/usr/bin/env bash
# Product code is written as for the handset: SDK headers and the C++ standard library only,
# UTF-16 through TEXT(), never wchar_t or L"" literals, never the emulated device's headers.
set -u
root=${1:?repository root}
cd "$root" || exit 2
dirs=()
for d in app camera pipeline capture tarnjpg dsgrab launcher; do [[ -d $d ]] && dirs+=("$d"); done
((${#dirs[@]})) || exit 0
status=0
report() {
  local what=$1 pattern=$2
  local hits
  hits=$(grep -rnE --include='*.cpp' --include='*.h' "$pattern" "${dirs[@]}")
  if [[ -n $hits ]]; then
    echo "$what:"
    echo "$hits"
    status=1
  fi
}
report "wide literals (use TEXT())" '(^|[^A-Za-z0-9_])L"'
report "wchar_t (WCHAR is char16_t)" '\bwchar_t\b'
report "emulated-device headers" '#include[[:space:]]*[<"]device/'
report "host system headers" '#include[[:space:]]*<(unistd|pthread|dlfcn|fcntl|SDL|jpeglib|turbojpeg|libyuv|alsa/|sys/)[^>]*>'
exit $status

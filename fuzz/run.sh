#!/usr/bin/env bash
# Long libFuzzer runs of the fuzz targets (the "fuzz" preset: clang, address and
# undefined-behaviour sanitizers), one target after the other in one process each.
#   fuzz/run.sh TARGET|all [RUNS|SECONDSs]     e.g.  fuzz/run.sh all 1000000   fuzz/run.sh utf 300s
# Extra libFuzzer options may follow (-max_len=..., -dict=...). New inputs go to
# build/fuzz/work/TARGET, a crash to build/fuzz/artifacts/TARGET/; the log of each run is
# build/fuzz/logs/TARGET.log. Exit code 1 when any target crashed.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
usage() { echo "usage: fuzz/run.sh TARGET|all [RUNS|SECONDSs] [libFuzzer options]" >&2; exit 2; }
[[ $# -ge 1 ]] || usage
which=$1
amount=${2:-1000000}
shift $(($# >= 2 ? 2 : 1))
case $amount in
  *s) limit=(-max_total_time="${amount%s}") ;;
  *[!0-9]*|'') usage ;;
  *) limit=(-runs="$amount") ;;
esac

"$root/scripts/install-deps.sh"
"$root/scripts/install-deps.sh" "$root/fuzz/debian-packages.txt"
cd "$root"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"

targets=$(sed -n 's/^  \([a-z_0-9]*\) *"[a-z_]*"$/\1/p' fuzz/CMakeLists.txt)
if [[ $which != all ]]; then
  grep -qx "$which" <<<"$targets" || { echo "fuzz/run.sh: no target \"$which\"; there are: $(echo $targets)" >&2; exit 2; }
  targets=$which
fi

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
status=0
summary=()
for target in $targets; do
  work=build/fuzz/work/$target artifacts=build/fuzz/artifacts/$target log=build/fuzz/logs/$target.log
  mkdir -p "$work" "$artifacts" "$(dirname "$log")"
  inputs=("$work" "fuzz/corpus/$target")
  [[ -d fuzz/regressions/$target ]] && inputs+=("fuzz/regressions/$target")
  echo "== $target"
  result=ok
  if ! "build/fuzz/bin/fuzz_$target" "${limit[@]}" -timeout=10 -print_final_stats=1 \
      -artifact_prefix="$artifacts/" "$@" "${inputs[@]}" >"$log" 2>&1; then
    result="CRASH (see $log; the input is in $artifacts/: keep it in fuzz/regressions/$target/)"
    status=1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  summary+=("$(printf '%-16s %10s runs %8s exec/s  %s' "$target" "${runs:-?}" "${speed:-?}" "$result")")
  echo "${summary[-1]}"
done
echo "== summary"
printf '%s\n' "${summary[@]}"
exit $status

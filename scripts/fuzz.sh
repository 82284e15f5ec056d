#!/usr/bin/env bash
# The libFuzzer targets of fuzz/, built with clang (ASan + UBSan, no recovery) in build-fuzz/.
#
#   scripts/fuzz.sh MINUTES [TARGET...]  a campaign: every target (or those named) runs MINUTES
#                                        minutes, as many at once as there are cores (or as
#                                        QX_FUZZ_JOBS says). The corpus grows in
#                                        build-fuzz/fuzz/corpus/TARGET/ from one campaign to the
#                                        next; findings land in build-fuzz/fuzz/findings/TARGET/.
#   scripts/fuzz.sh --test               build, then ctest there: every target for a fixed number
#                                        of executions and every file of fuzz/regressions/ replayed
#   scripts/fuzz.sh --build              build only
#
# A finding is fixed in the code and its input added to fuzz/regressions/TARGET/ (see fuzz/README.md).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${QX_FUZZ_BUILD:-$here/build-fuzz}"

usage() {
  sed -n '3,12p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'
  exit 2
}
[ $# -ge 1 ] || usage

QX_FUZZ=1 CC=clang CXX=clang++ QX_CMAKE_ARGS="-DQX_FUZZ=ON ${QX_CMAKE_ARGS:-}" "$here/scripts/bootstrap.sh" "$build"

case "$1" in
  --build) exit 0 ;;
  --test)
    cd "$build"
    exec ctest --output-on-failure -j "$(nproc)"
    ;;
  -*|'') usage ;;
esac

minutes="$1"
shift
[[ "$minutes" =~ ^[0-9]+$ ]] && [ "$minutes" -gt 0 ] || usage
fuzz="$build/fuzz"
declare -A options
names=()
while read -r name opts; do
  [ -n "$name" ] || continue
  options[$name]="$opts"
  names+=("$name")
done < "$fuzz/targets.txt"
if [ $# -gt 0 ]; then
  for name in "$@"; do
    [ -n "${options[$name]+x}" ] || { echo "fuzz.sh: no target $name (have: ${names[*]})" >&2; exit 2; }
  done
  names=("$@")
fi

run() {
  local name="$1"
  mkdir -p "$fuzz/corpus/$name" "$fuzz/findings/$name" "$fuzz/logs"
  # shellcheck disable=SC2086
  LSAN_OPTIONS="suppressions=$here/fuzz/lsan.supp" "$fuzz/fuzz_$name" ${options[$name]} \
    -max_total_time=$((minutes * 60)) -timeout=20 -rss_limit_mb=2048 -close_fd_mask=3 \
    -print_final_stats=1 -artifact_prefix="$fuzz/findings/$name/" \
    "$fuzz/corpus/$name" "$fuzz/seeds/$name" > "$fuzz/logs/$name.log" 2>&1 || true
}

jobs_at_once="${QX_FUZZ_JOBS:-$(nproc)}"
echo "fuzz.sh: ${#names[@]} targets, $minutes min each, $jobs_at_once at a time"
for name in "${names[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$jobs_at_once" ]; do wait -n || true; done
  echo "  $(date +%H:%M) $name"
  run "$name" &
done
wait

printf '\n%-14s %12s %10s %9s  %s\n' TARGET EXECUTIONS CORPUS FINDINGS "FINDING FILES"
found=0
for name in "${names[@]}"; do
  log="$fuzz/logs/$name.log"
  execs="$(grep -ao 'stat::number_of_executed_units: [0-9]*' "$log" | awk '{print $2}' | tail -1)"
  corpus="$(find "$fuzz/corpus/$name" -type f | wc -l)"
  count="$(ls "$fuzz/findings/$name" | wc -l)"
  found=$((found + count))
  printf '%-14s %12s %10s %9s  %s\n' "$name" "${execs:-?}" "$corpus" "$count" "$(ls "$fuzz/findings/$name" | tr '\n' ' ')"
done
[ "$found" -eq 0 ] || { echo "fuzz.sh: findings are in $fuzz/findings/ (logs in $fuzz/logs/)"; exit 1; }

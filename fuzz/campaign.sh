#!/usr/bin/env bash
# The fuzz campaign: builds the libFuzzer targets with clang (build-fuzz/), then runs each target in turn,
# one process at a time, for 10 minutes or 10 million executions, whichever comes first, starting from its
# committed corpus. Each target's log, grown corpus and any crashing input land in build-fuzz/campaign/NAME/.
#   fuzz/campaign.sh [NAME...]        the targets to run (default: all that the build lists, by name)
#   fuzz/campaign.sh --merge NAME...  minimises the committed corpus with what the campaign found (-merge=1)
#   fuzz/campaign.sh --replay         runs every libFuzzer target once over its committed corpus (for CI)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${SFMR_FUZZ_BUILD:-$root/build-fuzz}  # another directory for a second build next to a campaign

scripts/configure.sh fuzz "$build"
cmake --build "$build" -j 2 >/dev/null

# The targets and their longest inputs, as the build lists them.
declare -A max_len=()
all=()
while read -r name length; do
  all+=("$name")
  max_len[$name]=$length
done <"$build/fuzz/targets.txt"
for name in "$@"; do
  case "$name" in --merge | --replay) continue ;; esac
  if [ -z "${max_len[$name]:-}" ]; then
    echo "campaign.sh: no fuzz target '$name' (targets: ${all[*]})" >&2
    exit 2
  fi
done

if [ "${1:-}" = "--merge" ]; then
  shift
  for name in "$@"; do
    merged=$build/campaign/$name/merged
    rm -rf "$merged" && mkdir -p "$merged"
    "$build/fuzz/fuzz_$name" -merge=1 "$merged" "$root/fuzz/corpus/$name" "$build/campaign/$name/corpus"
    rm -rf "$root/fuzz/corpus/$name" && mv "$merged" "$root/fuzz/corpus/$name"
  done
  exit 0
fi

if [ "${1:-}" = "--replay" ]; then
  for name in "${all[@]}"; do
    "$build/fuzz/fuzz_$name" -runs=0 "$root/fuzz/corpus/$name" 2>&1 | grep -E '^#[0-9]+[[:space:]]+DONE' |
      sed "s/^/$name: /"
  done
  exit 0
fi

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=("${all[@]}")
fi
for name in "${targets[@]}"; do
  work=$build/campaign/$name
  rm -rf "$work" && mkdir -p "$work/corpus" "$work/artifacts"
  status=0
  "$build/fuzz/fuzz_$name" -max_total_time=600 -runs=10000000 -max_len="${max_len[$name]}" -timeout=10 \
    -print_final_stats=1 -artifact_prefix="$work/artifacts/" "$work/corpus" "$root/fuzz/corpus/$name" \
    >"$work/log" 2>&1 || status=$?
  echo "$name: status $status, $(grep -E '^stat::number_of_executed_units' "$work/log" || echo 'no stats')"
done

#!/usr/bin/env bash
# Whole-flight benchmark: a simulated 10-hour flight (36,000 seconds of data) processed end to end by
# sfmrbatch, start-up and SST grid load included. Reports the best wall time of several runs and the peak
# resident memory. Targets: under 1 s and under 32 MB. Then the quick-look plots of that flight (sfmrplot,
# both PNG files): best wall time of the same number of runs, target under 5 s.
#   bench/whole_flight.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
runs=${1:-5}

generator=()
command -v ninja >/dev/null 2>&1 && generator=(-G Ninja)
cmake -S . -B build-bench "${generator[@]}" -DCMAKE_BUILD_TYPE=Release -DSFMR_TESTS=OFF -DSFMR_BENCH=OFF >/dev/null
cmake --build build-bench -j 2 --target sfmrbatch sfmrsim sfmrplot >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
gzip -dc sample/landmask/mwir_land.txt.gz > "$work/mwir_land.txt"
cd "$work"
"$root/build-bench/tools/sfmrsim" grid sfmr_sst.bin
"$root/build-bench/tools/sfmrsim" flight . --name long --hours 10 --start 06:00:00 --sst sfmr_sst.bin >/dev/null
echo "raw file: $(wc -l < long.dat) lines, $(du -h long.dat | cut -f1)"

best=""
peak=0
for _ in $(seq "$runs"); do
  rm -f long*.OUT
  /usr/bin/time -f "%e %M" -o time.txt "$root/build-bench/sfmrbatch" < long.answers > console.txt
  read -r wall kb < time.txt
  if [ -z "$best" ] || awk -v a="$wall" -v b="$best" 'BEGIN{exit !(a<b)}'; then best=$wall; fi
  [ "$kb" -gt "$peak" ] && peak=$kb
done
lines=$(($(wc -l < long.OUT) - 1))
echo "sfmrbatch: $lines output lines; best wall time of $runs runs: ${best} s; peak memory: $((peak / 1024)) MB"

best_plot=""
for _ in $(seq "$runs"); do
  /usr/bin/time -f "%e" -o time.txt "$root/build-bench/tools/sfmrplot" long.OUT --force
  read -r wall < time.txt
  if [ -z "$best_plot" ] || awk -v a="$wall" -v b="$best_plot" 'BEGIN{exit !(a<b)}'; then best_plot=$wall; fi
done
echo "sfmrplot: both PNG files of the $lines seconds; best wall time of $runs runs: ${best_plot} s"

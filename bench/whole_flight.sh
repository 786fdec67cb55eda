#!/usr/bin/env bash
# Whole-flight benchmark: a simulated 10-hour flight (36,000 seconds of data) processed end to end by
# sfmrbatch, start-up and SST grid load included, set against the forward model's transcendental work alone
# (four pow and three exp per evaluation) for as many evaluations as the flight makes. Each run times both,
# one after the other, so that both see the same load on the machine; the ratio is of the best times.
# Also reports the peak resident memory and the heap allocations per raw line. Then the quick-look plots of
# that flight (sfmrplot, both PNG files): best wall time of the same number of runs.
# Targets: ratio 1.5 or less, peak memory under 32 MB, plots under 5 s.
#   bench/whole_flight.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}

# shellcheck source=bench/long_flight.sh
. bench/long_flight.sh
long_flight flight_cost sfmrplot
echo "raw file: $(wc -l < long.dat) lines, $(du -h long.dat | cut -f1)"

"$bin/flight_cost" count long.answers long.dat > count.txt
cat count.txt
calls=$(awk '/^model evaluations:/ {print $3}' count.txt)

best=""
best_model=""
peak=0
smaller() { awk -v a="$1" -v b="$2" 'BEGIN{exit !(a<b)}'; }
for _ in $(seq "$runs"); do
  rm -f long*.OUT
  start=$EPOCHREALTIME
  /usr/bin/time -f "%M" -o time.txt "$bin/sfmrbatch" < long.answers > console.txt
  wall=$(awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN{printf "%.4f", b - a}')
  read -r kb < time.txt
  model=$("$bin/flight_cost" model "$calls")
  if [ -z "$best" ] || smaller "$wall" "$best"; then best=$wall; fi
  if [ -z "$best_model" ] || smaller "$model" "$best_model"; then best_model=$model; fi
  [ "$kb" -gt "$peak" ] && peak=$kb
done
lines=$(($(wc -l < long.OUT) - 1))
echo "sfmrbatch: $lines output lines; best wall time of $runs runs: ${best} s; peak memory: $((peak / 1024)) MB"
awk -v f="$best" -v m="$best_model" -v n="$calls" \
  'BEGIN{printf "model alone (%d evaluations): %.3f s; ratio whole flight / model alone: %.2f\n", n, m, f / m}'

best_plot=""
for _ in $(seq "$runs"); do
  /usr/bin/time -f "%e" -o time.txt "$bin/tools/sfmrplot" long.OUT --force
  read -r wall < time.txt
  if [ -z "$best_plot" ] || smaller "$wall" "$best_plot"; then best_plot=$wall; fi
done
echo "sfmrplot: both PNG files of the $lines seconds; best wall time of $runs runs: ${best_plot} s"

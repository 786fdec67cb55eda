#!/usr/bin/env bash
# Conversion benchmark: a simulated 10-hour flight (36,000 output lines) processed by sfmrbatch, then
# converted to netCDF by sfmr2nc. Reports the best wall time of several conversions and, when valgrind is
# installed, the instruction count of one (steadier than a time on a shared machine). Target: under 0.5 s.
#   bench/convert_flight.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}

# shellcheck source=bench/long_flight.sh
. bench/long_flight.sh
long_flight sfmr2nc
"$bin/sfmrbatch" < long.answers > console.txt
echo "output file: $(($(wc -l < long.OUT) - 1)) lines, $(du -h long.OUT | cut -f1)"

convert=("$bin/tools/sfmr2nc" long.OUT long.dat --setup long.setup --force)
best=""
for _ in $(seq "$runs"); do
  /usr/bin/time -f "%e %M" -o time.txt "${convert[@]}"
  read -r wall kb < time.txt
  if [ -z "$best" ] || awk -v a="$wall" -v b="$best" 'BEGIN{exit !(a<b)}'; then best=$wall; fi
done
echo "sfmr2nc: long.nc $(du -h long.nc | cut -f1); best wall time of $runs runs: ${best} s; peak memory: $((kb / 1024)) MB"
if command -v valgrind > /dev/null 2>&1; then
  valgrind --tool=callgrind --callgrind-out-file=callgrind.out "${convert[@]}" 2> callgrind.txt
  echo "sfmr2nc: $(grep -o 'Collected : [0-9]*' callgrind.txt | cut -d' ' -f3) instructions (callgrind)"
fi

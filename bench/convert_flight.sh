#!/usr/bin/env bash
# Conversion benchmark: a simulated 10-hour flight (36,000 output lines) processed by sfmrbatch, then
# converted to netCDF by sfmr2nc. Reports the best wall time of several conversions and, when valgrind is
# installed, the instruction count of one (steadier than a time on a shared machine). Target: under 0.5 s.
#   bench/convert_flight.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
runs=${1:-5}

generator=()
command -v ninja > /dev/null 2>&1 && generator=(-G Ninja)
cmake -S . -B build-bench "${generator[@]}" -DCMAKE_BUILD_TYPE=Release -DSFMR_TESTS=OFF -DSFMR_BENCH=OFF > /dev/null
cmake --build build-bench -j 2 --target sfmrbatch sfmrsim sfmr2nc > /dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
gzip -dc sample/landmask/mwir_land.txt.gz > "$work/mwir_land.txt"
cd "$work"
"$root/build-bench/tools/sfmrsim" grid sfmr_sst.bin
"$root/build-bench/tools/sfmrsim" flight . --name long --hours 10 --start 06:00:00 --sst sfmr_sst.bin > /dev/null
"$root/build-bench/sfmrbatch" < long.answers > console.txt
echo "output file: $(($(wc -l < long.OUT) - 1)) lines, $(du -h long.OUT | cut -f1)"

convert=("$root/build-bench/tools/sfmr2nc" long.OUT long.dat --setup long.setup --force)
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

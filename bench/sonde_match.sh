#!/usr/bin/env bash
# Dropsonde collocation benchmark: N TEMP DROP sondes (default 1,000) splashing along a simulated 10-hour
# flight, matched by sfmrsonde against the flight's archive file. Reports the wall time of the whole run
# (reading, collocation, tables, netCDF and plots) and of the run without the storm track; target under 1 s
# for 1,000 sondes against a 10-hour flight.
#   bench/sonde_match.sh [--sondes N] [--hours H] [--build DIR]
# DIR defaults to build-bench (configured by scripts/configure.sh bench); only the needed programs are built.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
sondes=1000
hours=10
build="build-bench"
while [ $# -gt 0 ]; do
  case "$1" in
    --sondes) sondes=$2 && shift 2 ;;
    --hours) hours=$2 && shift 2 ;;
    --build) build=$2 && shift 2 ;;
    *) echo "usage: bench/sonde_match.sh [--sondes N] [--hours H] [--build DIR]" >&2 && exit 2 ;;
  esac
done
if [ ! -f "$build/CMakeCache.txt" ]; then scripts/configure.sh bench "$build" >/dev/null; fi
cmake --build "$build" -j 2 --target sfmrsim sfmrbatch sfmr2nc sfmrsonde >/dev/null
bin=$(cd "$build" && pwd)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
gzip -dc "$root/sample/landmask/mwir_land.txt.gz" >mwir_land.txt
"$bin/tools/sfmrsim" grid sfmr_sst.bin
"$bin/tools/sfmrsim" flight . --name long --hours "$hours" --no-land >/dev/null
"$bin/sfmrbatch" <long.answers >/dev/null
"$bin/tools/sfmr2nc" long.OUT long.dat --setup long.setup >/dev/null

# One bulletin per sonde at evenly spaced seconds of the truth file (seconds of day, lat, lon, wind m/s),
# each with its surface wind and splash point and time (a mission per hundred sondes, the observation
# numbers of two digits); the day follows the seconds across midnight.
awk -F, -v n="$sondes" 'NR == 1 { next } { sec[++m] = $1; lat[m] = $4; lon[m] = $5; ws[m] = $2 }
  END {
    day = 7; prev = -1
    for (k = 1; k <= n; k++) {
      i = int(1 + (m - 1) * (k - 0.5) / n)
      if (prev >= 0 && sec[i] < prev) day++
      prev = sec[i]
      s = sec[i] % 86400; hh = int(s / 3600); mm = int(s / 60) % 60; ss = s % 60
      kt = int(ws[i] / 0.514444 + 0.5)
      wind = sprintf("%03d%02d", 90 + int(kt / 100), kt % 100)
      printf "UZNT13 KNHC %02d%02d%02d\nXXAA  %02d%02d1 99%03d 7%04d 08585\n", day, hh, mm, day + 50, hh,
        int(lat[i] * 10 + 0.5), int(-lon[i] * 10 + 0.5)
      printf "99005 27056 %s 00040 26856 %s\n61616 NOAA2 %02d01A BENCH OB %02d\n", wind, wind, int(k / 100) + 1,
        k % 100
      printf "62626 SPG %04dN%05dW %02d%02d%02d =\n\n", int(lat[i] * 100 + 0.5), int(-lon[i] * 100 + 0.5), hh,
        mm, ss
    }
  }' long.truth.csv >sondes.txt

start=$(date +%s.%N)
"$bin/tools/sfmrsonde" sondes.txt --flight long.nc -o bench --force 2>/dev/null || true
end=$(date +%s.%N)
matched=$(grep -c ',yes,' bench.matchups.csv || true)
awk -v a="$start" -v b="$end" -v n="$sondes" -v h="$hours" -v m="$matched" 'BEGIN {
  printf "sfmrsonde: %d sondes against a %s-hour flight: %d matched in %.3f s (whole run, plots included)\n",
    n, h, m, b - a }'

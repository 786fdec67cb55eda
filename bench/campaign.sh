#!/usr/bin/env bash
# Campaign benchmark: a synthetic campaign of simulated flights (lengths spread evenly from 1 to 10 hours)
# processed by sfmrcampaign with 1 and with 2 jobs. Reports flights per minute, raw megabytes per second,
# the projected time of a 5,000-flight archive (same mix of lengths) and the runner's own overhead per
# flight: the run's wall time less the time of the flights' own steps, over the flights, with 1 job, and the
# time per flight against that of sfmrbatch and sfmr2nc alone on the same flights (target at most 3 times).
#   bench/campaign.sh [--flights N] [--max-hours H] [--jobs "1 2"]
# Defaults: 50 flights, up to 10 hours. A quick run: bench/campaign.sh --flights 6 --max-hours 2
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
flights=50
max_hours=10
job_counts="1 2"
while [ $# -gt 0 ]; do
  case "$1" in
    --flights) flights=$2 && shift 2 ;;
    --max-hours) max_hours=$2 && shift 2 ;;
    --jobs) job_counts=$2 && shift 2 ;;
    *) echo "usage: bench/campaign.sh [--flights N] [--max-hours H] [--jobs \"1 2\"]" >&2 && exit 2 ;;
  esac
done

scripts/configure.sh bench build-bench
cmake --build build-bench -j 2 >/dev/null
bin="$root/build-bench"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
gzip -dc "$root/sample/landmask/mwir_land.txt.gz" > mwir_land.txt
"$bin/tools/sfmrsim" grid sst.bin
echo "name,raw,cal,sst,f1,f2,f3,f4,f5,f6,default_sst,filter" > manifest.csv
for i in $(seq "$flights"); do
  hours=$(awk -v i="$i" -v n="$flights" -v h="$max_hours" 'BEGIN { printf "%.2f", (n > 1 ? 1 + (h - 1) * (i - 1) / (n - 1) : 1) }')
  "$bin/tools/sfmrsim" flight flights --name "f$i" --seed "$i" --hours "$hours" --sst sst.bin > /dev/null
  echo "f$i,flights/f$i.dat,flights/f$i.cal,sst.bin,4.74,5.31,5.57,6.02,6.69,7.09,-20.0,2.0" >> manifest.csv
  rm -f "flights/f$i.truth.csv"
done
raw_mb=$(du -cm flights/*.dat | tail -n 1 | cut -f1)
echo "campaign: $flights flights of 1 to $max_hours hours, $raw_mb MB of raw data"

# sfmrbatch and sfmr2nc alone, one flight after the other as a campaign of one job runs them, in a copy of
# each flight's directory of the campaign run: the yardstick of the campaign's time per flight (the steps
# after sfmrbatch run side by side within a flight, so their own times in the campaign overlap).
alone_time() {
  local from=$1 start end dir name
  rm -rf alone && mkdir alone
  start=$(date +%s.%N)
  for dir in "$from"/*/; do
    name=$(basename "$dir")
    [ -f "$dir/$name.setup" ] || continue
    mkdir "alone/$name"
    for file in "$dir"/*.dat "$dir"/*.cal "$dir"/*.sst "$dir"/*.nogrid "$dir/$name.setup" "$dir/answers.txt"; do
      [ -e "$file" ] && cp -P "$file" "alone/$name/"
    done
    (cd "alone/$name" && "$bin/sfmrbatch" <answers.txt >console.txt 2>&1 &&
      "$bin/tools/sfmr2nc" ./*.OUT "$name.dat" --setup "$name.setup" -o "$name.nc" >/dev/null 2>&1) || true
  done
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { print b - a }'
}

for jobs in $job_counts; do
  rm -rf "out$jobs"
  start=$(date +%s.%N)
  "$bin/tools/sfmrcampaign" manifest.csv "out$jobs" --jobs "$jobs" > "run$jobs.log" || true
  end=$(date +%s.%N)
  # Time of the tools' own steps and of the per-flight step as a whole, from every flight's result.txt.
  # GNU parallel's job log: the time each job ran, and the median gap between the end of one job and the
  # start of the next one (the engine's own dispatch time, with 1 job).
  jobruntime=$(awk -F'\t' '{ s += $4 } END { print s }' "out$jobs/joblog")
  gap=$(awk -F'\t' '$1 ~ /^[0-9]+$/ { printf "%.3f %.3f\n", $3, $3 + $4 }' "out$jobs/joblog" | sort -n |
    awk 'NR > 1 { print $1 - end } { end = $2 }' | sort -g | awk '{ g[NR] = $1 } END { print NR ? g[int((NR + 1) / 2)] : 0 }')
  alone=0
  [ "$jobs" = 1 ] && alone=$(alone_time "out$jobs")
  cat "out$jobs"/*/result.txt | awk -v jobruntime="$jobruntime" -v gap="$gap" -v alone="$alone" -v wall="$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')" \
    -v n="$flights" -v jobs="$jobs" -v mb="$raw_mb" -v runlog="run$jobs.log" '
    /^seconds=/ { sub("seconds=", ""); flight += $0 }
    /^step=/ { tools += $3; step_time[$1] += $3; if (!($1 in seen)) { seen[$1] = 1; steps = steps " " substr($1, 6) } }
    /^state=failed/ { failed++ }
    END {
      getline summary < runlog; getline summary < runlog
      printf "jobs %d: %.1f s wall, %.1f flights/min, %.1f MB/s raw, 5,000 flights in %.1f h;", \
        jobs, wall, n / wall * 60, mb / wall, 5000 * wall / n / 3600
      printf " steps:%s\n", steps
      if (jobs == 1) printf "  runner overhead per flight: %.3f s in all (wall time less the flights'"'"' own steps), of it %.3f s in sfmrcampaign-core outside the steps\n", \
        (wall - flight) / n, (jobruntime - flight) / n
      if (jobs == 1) printf "  median gap between two jobs of GNU parallel: %.3f s\n", gap
      convert = step_time["step=sfmrbatch"] + step_time["step=sfmr2nc"]
      ratio = 0
      if (convert > 0) ratio = wall / convert
      printf "  per flight: %.3f s in all, sfmrbatch + sfmr2nc in the campaign %.3f s (ratio %.2f), sfmrplot %.3f s; %d failed\n", \
        wall / n, convert / n, ratio, step_time["step=sfmrplot"] / n, failed
      if (alone > 0) printf "  sfmrbatch + sfmr2nc alone on the same flights, one after the other: %.3f s a flight (ratio %.2f)\n", \
        alone / n, wall / alone
      print "  " summary
    }'
done

#!/usr/bin/env bash
# Runs the tools of two builds on the same flights and lists the outputs that differ: the sample flight
# and two storm flights made by the first build's simulator, each processed by sfmrbatch and given to
# sfmrsummary (text and --csv), sfmrplot, sfmr2nc (compared by ncdump without history and date_created),
# sfmrstorm and the campaign runner. The campaign's table and report hold each flight's run time, so they
# differ from run to run; a PNG that differs is one to look at by eye.
#   scripts/compare_outputs.sh OLD_BUILD NEW_BUILD WORKDIR
set -euo pipefail
[ $# -eq 3 ] || {
  echo "usage: scripts/compare_outputs.sh OLD_BUILD NEW_BUILD WORKDIR" >&2
  exit 2
}
root=$(cd "$(dirname "$0")/.." && pwd)
old=$(cd "$1" && pwd) new=$(cd "$2" && pwd)
mkdir -p "$3" && work=$(cd "$3" && pwd)

# The inputs, once: the land mask, the SST grid, the sample flight and two storm flights.
inputs=$work/inputs
rm -rf "$inputs" && mkdir -p "$inputs/s" && cd "$inputs"
gzip -dc "$root/sample/landmask/mwir_land.txt.gz" > mwir_land.txt
"$old/tools/sfmrsim" grid sfmr_sst.bin > /dev/null
cp "$root"/sample/flight/sample.* s/
for n in 1 2; do
  "$old/tools/sfmrsim" flight "st$n" --sst sfmr_sst.bin --hours 1.5 --vmax 55 --storm-dir 300 --storm-speed 5 \
    --seed "$n" > /dev/null
done

run() { # BUILD OUT: every tool of BUILD on the inputs
  local b=$1 out=$2 d
  rm -rf "$out" && cp -r "$inputs" "$out" && cd "$out"
  for d in s st1 st2; do
    cp mwir_land.txt sfmr_sst.bin "$d/"
    (cd "$d" && "$b/sfmrbatch" < sample.answers > console.txt &&
      "$b/tools/sfmrsummary" sample.OUT --truth sample.truth.csv --console console.txt > summary.txt &&
      "$b/tools/sfmrsummary" sample.OUT --truth sample.truth.csv --console console.txt --csv > summary.csv &&
      "$b/tools/sfmrsummary" sample.OUT --setup sample.setup > summary_setup.txt &&
      "$b/tools/sfmrplot" sample.OUT --truth sample.truth.csv -o plot &&
      "$b/tools/sfmr2nc" sample.OUT sample.dat --setup sample.setup -o flight.nc &&
      ncdump flight.nc | grep -v ':history = \|:date_created = ' > flight.cdl && rm flight.nc)
  done
  (cd st1 && "$b/tools/sfmr2nc" sample.OUT sample.dat --setup sample.setup -o storm_in.nc &&
    "$b/tools/sfmrstorm" storm_in.nc --track sample.bdeck -o storm > storm_console.txt 2>&1 &&
    ncdump storm.storm.nc | grep -v ':history = ' > storm.storm.cdl && rm storm_in.nc storm.storm.nc)
  mkdir flights
  echo "name,raw,cal,sst,f1,f2,f3,f4,f5,f6,default_sst,filter" > manifest.csv
  for d in 1 2; do
    cp "st$d/sample.dat" "flights/f$d.dat" && cp "st$d/sample.cal" "flights/f$d.cal"
    echo "f$d,flights/f$d.dat,flights/f$d.cal,sfmr_sst.bin,4.74,5.31,5.57,6.02,6.69,7.09,-20.0,2.0" >> manifest.csv
  done
  "$b/tools/sfmrcampaign" manifest.csv camp --jobs 1 --mask mwir_land.txt > /dev/null
  for d in camp/campaign.nc camp/f1/f1.nc camp/f2/f2.nc; do
    ncdump "$d" | grep -v ':history = \|:date_created = ' > "$d.cdl" && rm "$d"
  done
}
run "$old" "$work/old"
run "$new" "$work/new"
cd "$work"
differ=$(diff -rq old new | grep -v '\.plot-cache\|joblog' || true)
echo "${differ:-every output identical}"

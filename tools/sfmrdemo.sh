#!/usr/bin/env bash
# sfmrdemo: processes the bundled simulated flight in a new directory PARENT/run-XXXXXX and shows what the
# tools make of it: the console of sfmrbatch, the summary against the simulator's truth, the two quick-look
# plots and the netCDF file (when sfmr2nc was built).
#   sfmrdemo [PARENT]   (default: the working directory)
# The programs are taken from the directory of this script (an installed bin/) or from PATH; the sample
# flight from share/sfmrbatch/ beside that bin/, or from the source tree.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
PATH="$here:$PATH"
# Installed: share/sfmrbatch/sample/ and share/sfmrbatch/mwir_land.txt.gz; source tree: sample/flight/ and
# sample/landmask/.
flight="" mask=""
if [ -f "$here/../share/sfmrbatch/sample/sample.dat" ]; then
  flight="$here/../share/sfmrbatch/sample" mask="$here/../share/sfmrbatch/mwir_land.txt.gz"
elif [ -f "$here/../sample/flight/sample.dat" ]; then
  flight="$here/../sample/flight" mask="$here/../sample/landmask/mwir_land.txt.gz"
else
  echo "sfmrdemo: sample flight not found beside $here" >&2
  exit 1
fi

work=$(mktemp -d "${1:-.}/run-XXXXXX")
work=$(cd "$work" && pwd)
cp "$flight"/sample.* "$work/"
gzip -dc "$mask" > "$work/mwir_land.txt"
cd "$work"
sfmrsim grid sfmr_sst.bin

echo "== sfmrbatch console (answers from sample.answers) =="
status=0
sfmrbatch < sample.answers > console.txt || status=$?
# The console shows the start-up lines and one line for every damaged record the run met.
head -n 12 console.txt | tr -d '\r'
lines=$(wc -l < console.txt)
if [ "$lines" -gt 12 ]; then echo "... ($lines console lines in all, see $work/console.txt)"; fi
if [ "$status" -ne 0 ]; then
  echo "sfmrdemo: sfmrbatch ended with status $status" >&2
  exit "$status"
fi

echo
echo "== Summary of $work/sample.OUT =="
sfmrsummary sample.OUT --truth sample.truth.csv --console console.txt

echo
echo "== Quick-look plots =="
sfmrplot sample.OUT --truth sample.truth.csv -o sample
echo "sample.timeseries.png and sample.map.png written"

echo
echo "== CF-netCDF archive file $work/sample.nc =="
if command -v sfmr2nc >/dev/null 2>&1; then
  sfmr2nc sample.OUT sample.dat --setup sample.setup -o sample.nc
  if command -v ncdump >/dev/null 2>&1; then
    ncdump -h sample.nc
  else
    echo "sample.nc written; ncdump is not installed (Debian: apt-get install netcdf-bin) to show its header."
  fi
else
  echo "No sample.nc: sfmr2nc is not built (it needs the netCDF library, Debian: apt-get install libnetcdf-dev)."
fi

echo
echo "Time series: $work/sample.timeseries.png"
echo "Track map:   $work/sample.map.png"
if [ -f sample.nc ]; then echo "netCDF file: $work/sample.nc"; fi

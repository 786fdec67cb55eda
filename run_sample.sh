#!/usr/bin/env bash
# Builds sfmrbatch and its tools, processes the bundled simulated flight in a fresh working directory,
# prints a summary against the simulator's truth and, when gnuplot is installed, draws a plot of the flight.
# Every file it writes goes into a new directory under demo/; nothing else is touched.
set -euo pipefail
cd "$(dirname "$0")"
root=$(pwd)

generator=()
command -v ninja >/dev/null 2>&1 && generator=(-G Ninja)
if [ ! -f build/CMakeCache.txt ]; then
  cmake -S . -B build "${generator[@]}" >/dev/null
fi
cmake --build build -j 2 --target sfmrbatch sfmrsim sfmrsummary >/dev/null

mkdir -p demo
work=$(mktemp -d "$root/demo/run-XXXXXX")
cp sample/flight/sample.* "$work/"
gzip -dc sample/landmask/mwir_land.txt.gz > "$work/mwir_land.txt"
cd "$work"
"$root/build/tools/sfmrsim" grid sfmr_sst.bin

echo "== sfmrbatch console (answers from sample.answers) =="
status=0
"$root/build/sfmrbatch" < sample.answers > console.txt || status=$?
# The console shows the start-up lines and one line for every damaged record the run met.
head -n 12 console.txt | tr -d '\r'
lines=$(wc -l < console.txt)
if [ "$lines" -gt 12 ]; then echo "... ($lines console lines in all, see $work/console.txt)"; fi
if [ "$status" -ne 0 ]; then
  echo "sfmrbatch ended with status $status" >&2
  exit "$status"
fi

echo
echo "== Summary of $work/sample.OUT against the truth =="
"$root/build/tools/sfmrsummary" sample.OUT sample.truth.csv plot.dat

echo
if command -v gnuplot >/dev/null 2>&1; then
  gnuplot -e "datafile='plot.dat'; outfile='sample.png'; flightname='simulated flight sample.dat'" \
    "$root/tools/plot_flight.gp"
  echo "Plot: $work/sample.png"
else
  echo "No plot: gnuplot is not installed (Debian: apt-get install gnuplot-nox), then run this script again."
fi

echo
echo "== CF-netCDF archive file $work/sample.nc =="
if cmake --build "$root/build" -j 2 --target sfmr2nc > /dev/null 2>&1; then
  "$root/build/tools/sfmr2nc" sample.OUT sample.dat --setup sample.setup -o sample.nc
  if command -v ncdump > /dev/null 2>&1; then
    ncdump -h sample.nc
  else
    echo "sample.nc written; ncdump is not installed (Debian: apt-get install netcdf-bin) to show its header."
  fi
else
  echo "No sample.nc: sfmr2nc is not built (it needs the netCDF library, Debian: apt-get install libnetcdf-dev)."
fi

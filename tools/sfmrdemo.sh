#!/usr/bin/env bash
# sfmrdemo: processes the bundled simulated flight in a new directory PARENT/run-XXXXXX and shows what the
# tools make of it: the console of sfmrbatch, the summary against the simulator's truth, the two quick-look
# plots and the netCDF file (when sfmr2nc was built).
#   sfmrdemo [PARENT]   (default: the working directory)
# The programs are taken from the directory of this script (an installed bin/) or from PATH; the sample
# flight from share/sfmrbatch/ beside that bin/, or from the source tree (this script in its tools/).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
PATH="$here:$PATH"
usage_line='sfmrdemo [PARENT]'
die() {
  echo "sfmrdemo: $1" >&2
  exit 1
}
# shared_file NAME SOURCE_RELATIVE: NAME in share/sfmrbatch beside the installed bin/, else SOURCE_RELATIVE
# in the source tree (the rule of the compiled tools, tools/common/share.hpp).
shared_file() {
  local f
  for f in "$here/../share/sfmrbatch/$1" "$here/../$2"; do [ -f "$f" ] && echo "$f" && return 0; done
  return 1
}

case "${1:-}" in
  -h | --help)
    printf 'usage: %s\nProcesses the bundled simulated flight in a new directory PARENT/run-XXXXXX (default: the\nworking directory) and shows the console, the summary, the plots and the netCDF header.\n' "$usage_line"
    exit 0
    ;;
  --version)
    # The version of the tools beside it: one definition, the build's.
    echo "sfmrdemo $(sfmrsim --version | cut -d' ' -f2)"
    exit 0
    ;;
  -?*)
    echo "sfmrdemo: unknown option $1; usage: $usage_line" >&2
    exit 2
    ;;
esac
[ $# -le 1 ] || { echo "sfmrdemo: more than one PARENT; usage: $usage_line" >&2 && exit 2; }

sample=$(shared_file sample/sample.dat sample/flight/sample.dat) || die "sample flight not found beside $here"
flight=$(dirname "$sample")
mask=$(shared_file mwir_land.txt.gz sample/landmask/mwir_land.txt.gz) || die "land mask not found beside $here"

work=$(mktemp -d "${1:-.}/run-XXXXXX" 2>/dev/null) || die "cannot make a directory in ${1:-.}"
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
[ "$status" -eq 0 ] || die "sfmrbatch ended with status $status"

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

#!/usr/bin/env bash
# Builds sfmrbatch and its tools (without the unit tests) and runs the demo on the bundled simulated flight:
# processing, summary, quick-look plots and netCDF file, all in a new directory under demo/ (nothing else is
# touched). Installs the missing Debian packages first (as root; otherwise it prints the apt-get line to run
# and stops).
set -euo pipefail
cd "$(dirname "$0")"
root=$(pwd)

scripts/ensure_packages.sh build tools

# GoogleTest is needed only by ./run_tests.sh: this build has no unit tests.
scripts/configure.sh sample build
# Every tool of the demo must build; the netCDF converter too, as its packages are installed above.
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ! cmake --build build -j 2 --target sfmrbatch sfmrsim sfmrsummary sfmrplot sfmr2nc sfmrstorm >"$log" 2>&1; then
  cat "$log" >&2
  echo "run_sample.sh: the tools did not build" >&2
  exit 1
fi

mkdir -p demo
PATH="$root/build:$root/build/tools:$PATH" tools/sfmrdemo.sh "$root/demo"
# Storm structure of the sample's hurricane passes (sfmrstorm, built with sfmr2nc): the report's head.
nc=$(find demo -name sample.nc -newer build/CMakeCache.txt -printf '%T@ %p\n' | sort -n | tail -n 1 | cut -d' ' -f2)
if [ -n "$nc" ] && [ -x build/tools/sfmrstorm ]; then build/tools/sfmrstorm "$nc" --force && head -n 12 "${nc%.nc}.storm.txt"; fi

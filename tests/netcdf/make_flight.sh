#!/usr/bin/env bash
# Test fixture of the converter: a 30-minute simulated flight that crosses midnight into a new year (turns
# with too much roll, a gap, damaged lines), processed by sfmrbatch and converted by sfmr2nc.
#   make_flight.sh SFMRSIM SFMRBATCH SFMR2NC SOURCE_DIR WORK_DIR
set -euo pipefail
sim=$1
batch=$2
convert=$3
src=$4
work=$5

rm -rf "$work"
mkdir -p "$work"
cd "$work"
gzip -dc "$src/sample/landmask/mwir_land.txt.gz" > mwir_land.txt
"$sim" grid sfmr_sst.bin
"$sim" flight . --name rt --hours 0.5 --start 23:45:00 --date 31/12/2026 --sst sfmr_sst.bin --no-land \
  --damage 0.01 --gap 20 > /dev/null
"$batch" < rt.answers > console.txt
"$convert" rt.OUT rt.dat --setup rt.setup

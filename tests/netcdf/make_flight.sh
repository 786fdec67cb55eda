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
# Flights whose clock needs repair, with the simulator's report of the records it damaged: the campaign
# benchmark's flight of seed 31 (a damaged aircraft time in its seventh hour) and a short flight with many
# damaged lines.
"$sim" flight . --name glitch31 --seed 31 --hours 6.51 --sst sfmr_sst.bin --damage-report glitch31.damage.csv \
  > /dev/null
"$sim" flight . --name glitch1 --seed 1 --hours 0.5 --start 23:45:00 --sst sfmr_sst.bin --no-land --damage 0.2 \
  --damage-report glitch1.damage.csv > /dev/null
for f in glitch31 glitch1; do
  "$batch" < "$f.answers" > "$f.console.txt"
  "$convert" "$f.OUT" "$f.dat" --setup "$f.setup"
done

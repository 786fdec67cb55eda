#!/usr/bin/env bash
# Test fixture of the converter: a 30-minute simulated flight that crosses midnight into a new year (turns
# with too much roll, a gap, damaged lines), processed by sfmrbatch and converted by sfmr2nc.
#   make_flight.sh SFMRSIM SFMRBATCH SFMR2NC SOURCE_DIR WORK_DIR
set -euo pipefail
# shellcheck source=tests/support/flight_fixture.sh
. "$4/tests/support/flight_fixture.sh"

"$sim" flight . --name rt --hours 0.5 --start 23:45:00 --date 31/12/2026 --sst sfmr_sst.bin --no-land \
  --damage 0.01 --gap 20 > /dev/null
process_flight rt console.txt
# Flights whose clock needs repair, with the simulator's report of the records it damaged: the campaign
# benchmark's flight of seed 31 (a damaged aircraft time in its seventh hour) and a short flight with many
# damaged lines.
"$sim" flight . --name glitch31 --seed 31 --hours 6.51 --sst sfmr_sst.bin --damage-report glitch31.damage.csv \
  > /dev/null
"$sim" flight . --name glitch1 --seed 1 --hours 0.5 --start 23:45:00 --sst sfmr_sst.bin --no-land --damage 0.2 \
  --damage-report glitch1.damage.csv > /dev/null
for f in glitch31 glitch1; do process_flight "$f" "$f.console.txt"; done
# A 1-hour flight dropping three sondes (TEMP DROP bulletins in sd.tempdrop), converted, for sfmrsonde.
"$sim" flight . --name sd --hours 1 --no-land --sondes 3 >/dev/null
process_flight sd
# An HDOB archive of one mission across midnight (a repeated observation, suspect values), converted.
"$convert" --hdob "$src/tests/data/hdob/idalia_midnight.txt" -o hdob.nc 2> hdob.stderr.txt

#!/usr/bin/env bash
# Test fixture of sfmrstorm: two simulated 1-hour flights converted to archive files, one through a moving
# storm (pass.nc, with its b-deck and HURDAT2 track, its HDOB archive and vortex data messages) and one that
# keeps 60 km from the centre (nopass.nc).
#   make_flights.sh SFMRSIM SFMRBATCH SFMR2NC SOURCE_DIR WORK_DIR
set -euo pipefail
# shellcheck source=tests/support/flight_fixture.sh
. "$4/tests/support/flight_fixture.sh"

"$sim" flight . --name pass --hours 1 --no-land --storm-dir 300 --storm-speed 5 --miss 5 --asymmetry 0.2 --hdob --vdm >/dev/null
"$sim" flight . --name nopass --hours 1 --no-land --miss 60 >/dev/null
for f in pass nopass; do process_flight "$f"; done

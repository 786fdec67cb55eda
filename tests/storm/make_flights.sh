#!/usr/bin/env bash
# Test fixture of sfmrstorm: two simulated 1-hour flights converted to archive files, one through a moving
# storm (pass.nc, with its b-deck and HURDAT2 track, its HDOB archive and vortex data messages) and one that
# keeps 60 km from the centre (nopass.nc); and one whose passes show no eye (eyeless.nc).
#   make_flights.sh SFMRSIM SFMRBATCH SFMR2NC SOURCE_DIR WORK_DIR
set -euo pipefail
# shellcheck source=tests/support/flight_fixture.sh
. "$4/tests/support/flight_fixture.sh"

"$sim" flight . --name pass --hours 1 --no-land --storm-dir 300 --storm-speed 5 --miss 5 --asymmetry 0.2 --hdob --vdm >/dev/null
"$sim" flight . --name nopass --hours 1 --no-land --miss 60 >/dev/null
# A broad, lopsided Holland core passed half its radius off (eyeless.nc, with the true centre track): the
# passes taken for eyes there are wrong, and the vortex search places the centre.
"$sim" flight . --name eyeless --hours 2 --no-land --seed 7 --holland-b 0.84 --rmw 16.6 --vmax 56 \
  --storm-speed 6.5 --storm-dir 336 --asymmetry 0.35 --eye-wind 3 --miss -8.5 --storm-truth >/dev/null
for f in pass nopass eyeless; do process_flight "$f"; done

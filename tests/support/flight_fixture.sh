# shellcheck shell=bash
# The shared start of the tests' flight fixtures (sourced by tests/netcdf/make_flight.sh and
# tests/storm/make_flights.sh with their arguments SFMRSIM SFMRBATCH SFMR2NC SOURCE_DIR WORK_DIR): makes
# WORK_DIR afresh with the land mask and the simulator's SST grid file sfmr_sst.bin and leaves the shell in
# it, with $sim, $batch and $convert set.
#   process_flight NAME [CONSOLE]  sfmrbatch on NAME.answers (its console into CONSOLE, else discarded),
#                                  then sfmr2nc on NAME.OUT with its setup file, into NAME.nc
sim=$1
batch=$2
convert=$3
src=$4
work=$5

rm -rf "$work"
mkdir -p "$work"
cd "$work" || exit 1
gzip -dc "$src/sample/landmask/mwir_land.txt.gz" >mwir_land.txt
"$sim" grid sfmr_sst.bin

process_flight() {
  "$batch" <"$1.answers" >"${2:-/dev/null}"
  "$convert" "$1.OUT" "$1.dat" --setup "$1.setup" >/dev/null
}

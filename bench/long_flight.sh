# shellcheck shell=bash
# Shared set-up of the benchmarks over the simulated 10-hour flight (sourced, not run): builds the named
# targets in build-bench/ (Release, no tests), makes a scratch directory that is removed on exit, and
# simulates the flight there (long.dat, long.cal, long.setup, long.answers, with the SST grid and land mask).
# Leaves the shell in that directory with $root (the source tree) and $bin (build-bench) set.
#   . bench/long_flight.sh; long_flight TARGET...
long_flight() {
  root=$(pwd)
  bin=$root/build-bench
  scripts/configure.sh bench build-bench
  cmake --build build-bench -j 2 --target sfmrbatch sfmrsim "$@" >/dev/null

  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  gzip -dc sample/landmask/mwir_land.txt.gz >"$work/mwir_land.txt"
  cd "$work" || return 1
  "$bin/tools/sfmrsim" grid sfmr_sst.bin
  "$bin/tools/sfmrsim" flight . --name long --hours 10 --start 06:00:00 --sst sfmr_sst.bin >/dev/null
}

# shellcheck shell=bash
# Shared set-up of the benchmarks over the simulated 10-hour flight (sourced, not run): builds the named
# targets in build-bench/ (Release, no tests), makes a scratch directory that is removed on exit, and
# simulates the flight there (long.dat, long.cal, long.setup, long.answers, with the SST grid and land mask).
# Leaves the shell in that directory with $root (the source tree) and $bin (build-bench) set.
#   . bench/long_flight.sh; long_flight TARGET...
long_flight() {
  root=$(pwd)
  bin=$root/build-bench
  local generator=()
  command -v ninja >/dev/null 2>&1 && generator=(-G Ninja)
  cmake -S . -B build-bench "${generator[@]}" -DCMAKE_BUILD_TYPE=Release -DSFMR_TESTS=OFF -DSFMR_BENCH=OFF >/dev/null
  cmake --build build-bench -j 2 --target sfmrbatch sfmrsim "$@" >/dev/null

  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  gzip -dc sample/landmask/mwir_land.txt.gz >"$work/mwir_land.txt"
  cd "$work" || return 1
  "$bin/tools/sfmrsim" grid sfmr_sst.bin
  "$bin/tools/sfmrsim" flight . --name long --hours 10 --start 06:00:00 --sst sfmr_sst.bin >/dev/null
}

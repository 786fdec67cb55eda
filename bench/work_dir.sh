# shellcheck shell=bash
# The working directory of the benchmarks that fly simulated storms (sourced, not run; the shell in the
# source tree, $bin the build directory). enter_work_dir DIR makes DIR, or with DIR empty a scratch
# directory removed at exit, puts the land mask and the simulator's SST grid in it and enters it; sets $work.
enter_work_dir() {
  if [ -n "$1" ]; then
    mkdir -p "$1"
    work=$(cd "$1" && pwd)
  else
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
  fi
  gzip -dc sample/landmask/mwir_land.txt.gz >"$work/mwir_land.txt"
  cd "$work" || return 1
  # shellcheck disable=SC2154 # $bin is set by the script that sources this
  "$bin/tools/sfmrsim" grid sfmr_sst.bin
}

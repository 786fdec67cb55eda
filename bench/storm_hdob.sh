#!/usr/bin/env bash
# sfmrstorm on the HDOB form of simulated flights: each flight of a small family (profiles, misses, RMW,
# Vmax and motion cycling with the flight's index, as in bench/storm_family.sh) is simulated with its HDOB
# archive and vortex data messages (sfmrsim flight ... --hdob --vdm), processed and converted for the 1-s
# analysis, and analysed three ways: from the HDOBs with the extrapolated pressure and the flight-level wind
# blanked to slashes (the radiometer's winds alone), from the whole HDOBs (with --fixes NAME.vdm), and from
# the 1-s archive file. bench/storm_hdob_eval.py prints the figures; then a 10-hour mission's archive is
# read and analysed five times and the best time printed (bench/storm_hdob_time.cpp). The messages' air
# varies with the flight too: the flight-level inflow angle (0-15 deg), an error of each line's 30-s
# flight-level wind (0-2 m/s in each component) and of its extrapolated surface pressure (0-1 hPa).
#   bench/storm_hdob.sh [tune|heldout|heldout2] [N]
#     tune      N flights (default 40) of seeds 3001..
#     heldout   N flights (default 20) of seeds 7001.. : run once, never tuned on (used)
#     heldout2  N flights (default 40) of seeds 7101.. : run once, never tuned on
# Environment: SFMR_BUILD (build directory, default build-bench/), STORM_HDOB_OUT (keep every file there).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bin=${SFMR_BUILD:-$root/build-bench}
default=40
case "${1:-tune}" in
  tune) first=3001 ;;
  heldout) first=7001 default=20 ;;
  heldout2) first=7101 ;;
  *)
    echo "usage: bench/storm_hdob.sh [tune|heldout|heldout2] [N]" >&2
    exit 2
    ;;
esac
count=${2:-$default}
case "$count" in '' | *[!0-9]*)
  echo "storm_hdob.sh: N must be a whole number, not '$count'" >&2
  exit 2
  ;;
esac
if [ ! -f "$bin/CMakeCache.txt" ]; then
  cmake -S . -B "$bin" -DCMAKE_BUILD_TYPE=Release -DSFMR_TESTS=OFF -DSFMR_BENCH=OFF >/dev/null
fi
cmake --build "$bin" -j 2 --target sfmrbatch sfmrsim sfmr2nc sfmrstorm storm_hdob_time >/dev/null
if [ -n "${STORM_HDOB_OUT:-}" ]; then
  work=$STORM_HDOB_OUT
  mkdir -p "$work"
  work=$(cd "$work" && pwd)
else
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
fi
gzip -dc sample/landmask/mwir_land.txt.gz >"$work/mwir_land.txt"
cd "$work"
"$bin/tools/sfmrsim" grid sfmr_sst.bin

# HDOB lines with the extrapolated surface pressure (field 6) and the flight-level wind (fields 9 and 10)
# turned to slashes.
blank() {
  awk 'NF == 13 && $1 ~ /^[0-9][0-9][0-9][0-9][0-9][0-9]$/ { $6 = "////"; $9 = "//////"; $10 = "///" } { print }' "$1"
}

flight() {
  local i=$1 seed=$((first + $1))
  local profiles=(holland wdr concentric) misses=(0 3 -7 10 5) rmws=(15 25 35 50 70) vmaxes=(35 50 65)
  local speeds=(0 4 8) patterns=(figure4 rotated4 butterfly) wind_noises=(0 0.5 1 2) pressure_noises=(0 0.3 0.6 1)
  local name=f$seed opts=(--seed "$seed" --no-land --hours 3 --rmw "${rmws[i % 5]}" --vmax "${vmaxes[i % 3]}"
    --storm-speed "${speeds[(i / 2) % 3]}" --storm-dir $(((i * 47) % 360)) --miss "${misses[i % 5]}"
    --fl-inflow $(((i * 7 + 3) % 16)) --fl-noise "${wind_noises[(i / 4) % 4]}"
    --pressure-noise "${pressure_noises[(i * 3) % 4]}")
  case "${profiles[(i / 3) % 3]}" in
    wdr) opts+=(--profile wdr) ;;
    concentric) opts+=(--profile concentric) ;;
  esac
  [ "${patterns[i % 3]}" = figure4 ] || opts+=(--pattern "${patterns[i % 3]}")
  {
    "$bin/tools/sfmrsim" flight . --name "$name" --storm-truth --hdob --vdm "${opts[@]}"
    "$bin/sfmrbatch" <"$name.answers"
    "$bin/tools/sfmr2nc" "$name.OUT" "$name.dat" --setup "$name.setup"
    blank "$name.hdob" >"$name.blank.hdob"
    "$bin/tools/sfmrstorm" "$name.nc" -o "$name.s1"
    "$bin/tools/sfmrstorm" "$name.blank.hdob" -o "$name.hb"
    "$bin/tools/sfmrstorm" "$name.hdob" --fixes "$name.vdm" -o "$name.hf"
  } >"$name.log" 2>&1 || echo "storm_hdob.sh: flight $name: $(tail -1 "$name.log")" >&2
  echo "$name" >>flights.txt
}

: >flights.txt
for ((i = 0; i < count; i += 2)); do
  flight "$i" &
  [ $((i + 1)) -lt "$count" ] && flight $((i + 1))
  wait
done
python3 "$root/bench/storm_hdob_eval.py" flights.txt

# A 10-hour mission's archive (1,200 lines): read and analysed (bench/storm_hdob_time.cpp, best of 5).
"$bin/tools/sfmrsim" flight . --name long --seed 11 --no-land --hours 10 --hdob >/dev/null
"$bin/tools/storm_hdob_time" long.hdob 0.3

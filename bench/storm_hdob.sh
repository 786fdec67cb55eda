#!/usr/bin/env bash
# sfmrstorm on the HDOB form of simulated flights: each flight of a small family (profiles, misses, RMW,
# Vmax and motion cycling with the flight's index in the tune set, drawn from its seed in heldout2) is
# simulated with its HDOB
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
#     heldout2  N flights (default 40) of seeds 7101.. : run once, never tuned on; every property of a flight
#               drawn from its seed (drawn_flight below), so that it shares no storm with the tune set
# Environment: SFMR_BUILD (build directory, default build-bench/), STORM_HDOB_OUT (keep every file there),
# STORM_HDOB_LIST (print each flight's sfmrsim options and stop).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
# shellcheck source=bench/uniforms.sh
. bench/uniforms.sh
# shellcheck source=bench/work_dir.sh
. bench/work_dir.sh
bin=${SFMR_BUILD:-$root/build-bench}
default=40
set_name=${1:-tune}
case "$set_name" in
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
enter_work_dir "${STORM_HDOB_OUT:-}"

# HDOB lines with the extrapolated surface pressure (field 6) and the flight-level wind (fields 9 and 10)
# turned to slashes.
blank() {
  awk 'NF == 13 && $1 ~ /^[0-9][0-9][0-9][0-9][0-9][0-9]$/ { $6 = "////"; $9 = "//////"; $10 = "///" } { print }' "$1"
}

# Uniform numbers in [0, 1) for seed $1 (bench/uniforms.sh): 16 of them, one line.
uniforms() { uniforms_of "hdob $1"; }

# A number with $1 decimals: LO + U (HI - LO) for U $2, LO $3, HI $4.
draw() { awk -v u="$2" -v lo="$3" -v hi="$4" "BEGIN { printf \"%.$1f\", lo + u * (hi - lo) }"; }

# The options of flight $1 of the tune set: each property cycles with the flight's index.
cycled_options() {
  local i=$1 seed=$((first + $1))
  local profiles=(holland wdr concentric) misses=(0 3 -7 10 5) rmws=(15 25 35 50 70) vmaxes=(35 50 65)
  local speeds=(0 4 8) patterns=(figure4 rotated4 butterfly) wind_noises=(0 0.5 1 2) pressure_noises=(0 0.3 0.6 1)
  local opts=(--seed "$seed" --no-land --hours 3 --rmw "${rmws[i % 5]}" --vmax "${vmaxes[i % 3]}"
    --storm-speed "${speeds[(i / 2) % 3]}" --storm-dir $(((i * 47) % 360)) --miss "${misses[i % 5]}"
    --fl-inflow $(((i * 7 + 3) % 16)) --fl-noise "${wind_noises[(i / 4) % 4]}"
    --pressure-noise "${pressure_noises[(i * 3) % 4]}")
  case "${profiles[(i / 3) % 3]}" in
    wdr) opts+=(--profile wdr) ;;
    concentric) opts+=(--profile concentric) ;;
  esac
  [ "${patterns[i % 3]}" = figure4 ] || opts+=(--pattern "${patterns[i % 3]}")
  echo "${opts[*]}"
}

# The options of flight $1 of heldout2, every property drawn from its seed over the same ranges (RMW 15-70
# km uniform in its logarithm, Vmax 35-65 m/s, still or 0.5-8 m/s in any direction, a miss through the
# centre or up to 10 km either side, inflow 0-15 deg, wind noise 0-2 m/s, pressure noise 0-1 hPa), with the
# profile's shape drawn too (Holland B 0.8-2.5, wdr n 0.4-2.5, concentric outer maximum at 2-3.5 RMW of
# 0.6-1.1 of the inner one) and the asymmetry right of the motion 0.1-0.3 of Vmax.
drawn_options() {
  local seed=$((first + $1)) u
  read -r -a u <<<"$(uniforms "$seed")"
  local profiles=(holland wdr concentric) patterns=(figure4 rotated4 butterfly)
  local profile=${profiles[$(awk -v u="${u[0]}" 'BEGIN { print int(3 * u) }')]}
  local pattern=${patterns[$(awk -v u="${u[1]}" 'BEGIN { print int(3 * u) }')]}
  local speed=0 miss=0
  awk -v u="${u[2]}" 'BEGIN { exit !(u >= 0.25) }' && speed=$(draw 1 "${u[3]}" 0.5 8)
  awk -v u="${u[4]}" 'BEGIN { exit !(u >= 0.2) }' && miss=$(draw 1 "${u[5]}" -10 10)
  local opts=(--seed "$seed" --no-land --hours 3
    --rmw "$(awk -v u="${u[6]}" 'BEGIN { printf "%.1f", 15 * exp(u * log(70 / 15)) }')"
    --vmax "$(draw 1 "${u[7]}" 35 65)" --storm-speed "$speed" --storm-dir "$(draw 0 "${u[8]}" 0 360)"
    --miss "$miss" --asymmetry "$(draw 2 "${u[9]}" 0.1 0.3)" --fl-inflow "$(draw 1 "${u[10]}" 0 15)"
    --fl-noise "$(draw 2 "${u[11]}" 0 2)" --pressure-noise "$(draw 2 "${u[12]}" 0 1)")
  case "$profile" in
    holland) opts+=(--holland-b "$(draw 2 "${u[13]}" 0.8 2.5)") ;;
    wdr) opts+=(--profile wdr --wdr-n "$(draw 2 "${u[13]}" 0.4 2.5)") ;;
    concentric)
      opts+=(--profile concentric --outer-radius "$(draw 2 "${u[14]}" 2 3.5)"
        --outer-ratio "$(draw 2 "${u[15]}" 0.6 1.1)")
      ;;
  esac
  [ "$pattern" = figure4 ] || opts+=(--pattern "$pattern")
  echo "${opts[*]}"
}

flight() {
  local i=$1 seed=$((first + $1)) opts
  local name=f$seed
  if [ "$set_name" = heldout2 ]; then
    read -r -a opts <<<"$(drawn_options "$i")"
  else
    read -r -a opts <<<"$(cycled_options "$i")"
  fi
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

if [ -n "${STORM_HDOB_LIST:-}" ]; then
  for ((i = 0; i < count; i++)); do
    if [ "$set_name" = heldout2 ]; then drawn_options "$i"; else cycled_options "$i"; fi
  done
  exit 0
fi
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

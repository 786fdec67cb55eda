#!/usr/bin/env bash
# Calibration of the standard errors that sfmr2nc writes: simulated storm flights with differing instrument
# noise (0.1 to 0.5 K), storms (intensity, size, asymmetry, motion), miss distances of the passes, seeds,
# lengths, starts, bank angles and ferry legs, each processed by sfmrbatch and
# converted by sfmr2nc, then the coverage of the truth by one and two standard errors, overall and per third
# of the seconds sorted by wind speed and by rain rate (bench/uncertainty_check.py).
#   bench/uncertainty_calibration.sh [measure|tune|family-tune|family-measure] [FLIGHTS]
# "measure" (the default) uses seeds 1001 on, "tune" seeds 1 on: the model was adjusted on the tune set only.
# "family-tune" (seeds 2001 on) and "family-measure" (seeds 3001 on, other combinations) fly the simulator's storm family instead
# (flights of 2 to 3 h without land): Holland, wdr and concentric-eyewall profiles, motion, wavenumber-1 and
# -2 asymmetries, eye winds, eyewall rain rings, RMW 10 to 80 km, Vmax 30 to 75 m/s, storm motion 0 to
# 12 m/s, the patterns figure4, rotated4, alpha, butterfly, random and single, miss distances and noise
# 0.1 to 0.5 K; the model is adjusted on family-tune only.
# Set BUILD=DIR to use an existing build directory instead of building build-bench/.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=bench/work_dir.sh
. bench/work_dir.sh
set_name=${1:-measure}
flights=${2:-24}
# The family's flights of the measure set start further along the family's cycles (offset), so that their
# storms and paths are other combinations than the tune set's, not only other noise.
offset=0
case $set_name in
  measure) first_seed=1001 ;;
  tune) first_seed=1 ;;
  family-tune) first_seed=2001 ;;
  family-measure) first_seed=3001 offset=50 ;;
  *)
    echo "usage: bench/uncertainty_calibration.sh [measure|tune|family-tune|family-measure] [FLIGHTS]" >&2
    exit 2
    ;;
esac
root=$(pwd)
if [ -z "${BUILD:-}" ]; then
  generator=()
  command -v ninja >/dev/null 2>&1 && generator=(-G Ninja)
  cmake -S . -B build-bench "${generator[@]}" -DCMAKE_BUILD_TYPE=Release -DSFMR_TESTS=OFF -DSFMR_BENCH=OFF >/dev/null
  cmake --build build-bench -j 2 --target sfmrbatch sfmrsim sfmr2nc >/dev/null
  BUILD=$root/build-bench
fi
bin=$(cd "$BUILD" && pwd)

# Set WORK=DIR to keep the flights in DIR (made afresh) instead of a scratch directory.
[ -z "${WORK:-}" ] || rm -rf "$WORK"
enter_work_dir "${WORK:-}"

# The storm of flight i: intensity, size, motion asymmetry, motion and the passes' miss distance.
storm_options() {
  local i=$1
  echo "--vmax $((30 + (i * 7) % 41)) --rmw $((15 + (i * 11) % 46))" \
    "--asymmetry 0.$(((i * 3) % 4))" "--storm-speed $(((i * 5) % 9)) --storm-dir $(((i * 47) % 360))" \
    "--miss $(((i * 13) % 81 - 40))"
}

# A number with $1 decimals: the arithmetic expression $2 (decimal fractions allowed).
calc() { awk "BEGIN { printf \"%.$1f\", $2 }"; }

# The storm and path of flight i of the family, each property cycling with its own period in i so that the
# pairs of properties mix (as in bench/storm_family.sh).
family_options() {
  local i=$1
  local profiles=(holland wdr concentric) asyms=(none motion wn1 wn2)
  local patterns=(figure4 rotated4 alpha butterfly random single) misses=(0 3 -7 10 -14 rmw)
  local speeds=(0 3 6 9 12) rmws=(10 20 30 45 60 80) vmaxes=(30 45 60 75)
  local rmw=${rmws[(3 * i + i / 4) % 6]} vmax=${vmaxes[(i + i / 4) % 4]} share=0.$((1 + (i * 3) % 4))
  local miss=${misses[i % 6]} pattern=${patterns[(i / 3) % 6]} amount
  [ "$miss" = rmw ] && miss=$(calc 1 "0.4 * $rmw")
  amount=$(calc 1 "$share * $vmax")
  local opts=(--rmw "$rmw" --vmax "$vmax" --storm-speed "${speeds[i % 5]}" --storm-dir $(((i * 47) % 360))
    --miss "$miss" --pattern "$pattern")
  case "${profiles[i % 3]}" in
    holland) opts+=(--holland-b "$(calc 1 "0.8 + 0.3 * $((i % 6))")") ;;
    wdr) opts+=(--profile wdr --wdr-n "$(calc 1 "0.5 + 0.4 * $((i % 5))")") ;;
    concentric)
      opts+=(--profile concentric --outer-radius "$(calc 2 "2 + 0.25 * $((i % 7))")"
        --outer-ratio "$(calc 2 "0.6 + 0.09 * $((i % 6))")")
      ;;
  esac
  case "${asyms[i % 4]}" in
    none) opts+=(--asymmetry 0) ;;
    motion) opts+=(--asymmetry "$share") ;;
    wn1) opts+=(--asymmetry 0 --wn1 "$amount" --wn1-dir $(((i * 83) % 360))) ;;
    wn2)
      opts+=(--asymmetry 0 --wn1 "$amount" --wn1-dir $(((i * 83) % 360)) --wn2 "$(calc 1 "0.1 * $vmax")"
        --wn2-dir $(((i * 29) % 180)))
      ;;
  esac
  [ $((i % 3)) -gt 0 ] && opts+=(--eye-wind $((5 * (i % 3))))
  [ $((i % 4)) -gt 0 ] && opts+=(--rain-ring "$(calc 2 "0.8 + 0.1 * $((i % 7))")" --rain-dir $(((i * 131) % 360)))
  echo "${opts[*]}"
}

pairs=()
printf '%-8s %6s %6s %6s %8s %9s  %s\n' flight noise hours roll start land storm
for i in $(seq 0 $((flights - 1))); do
  seed=$((first_seed + i))
  # Noise 0.1 .. 0.5 K in steps of 0.1, the other settings cycling with different periods.
  noise=$(awk -v i="$i" 'BEGIN { printf "%.2f", 0.1 + 0.1 * (i % 5) }')
  hours=$(awk -v i="$i" 'BEGIN { printf "%.1f", 2.0 + (i * 3 % 7) * 0.5 }')
  roll=$((20 + (i * 5) % 15))
  start=$(printf '%02d:%02d:00' $(((5 + 7 * i) % 24)) $(((13 * i) % 60)))
  land=()
  if [ $((i % 3)) -eq 2 ]; then land=(--no-land); fi
  name=f$seed
  case $set_name in
    family-*)
      hours=$(calc 1 "2.0 + 0.5 * ($i % 3)")
      land=(--no-land)
      read -r -a extra <<<"$(family_options $((i + offset)))"
      ;;
    *) read -r -a extra <<<"$(storm_options "$i")" ;;
  esac
  "$bin/tools/sfmrsim" flight . --name "$name" --seed "$seed" --noise "$noise" --hours "$hours" \
    --roll "$roll" --start "$start" --sst sfmr_sst.bin "${land[@]}" "${extra[@]}" >/dev/null
  "$bin/sfmrbatch" <"$name.answers" >"$name.console"
  "$bin/tools/sfmr2nc" "$name.OUT" "$name.dat" --setup "$name.setup"
  printf '%-8s %6s %6s %6s %8s %9s  %s\n' "$name" "$noise" "$hours" "$roll" "$start" "${land[*]:-ferry}" \
    "${extra[*]}"
  pairs+=("$name.nc" "$name.truth.csv")
done
echo
/usr/bin/python3 "$root/bench/uncertainty_check.py" "${pairs[@]}"

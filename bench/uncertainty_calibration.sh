#!/usr/bin/env bash
# Calibration of the standard errors that sfmr2nc writes: simulated storm flights with differing instrument
# noise (0.1 to 0.5 K), storms (intensity, size, asymmetry, motion), miss distances of the passes, seeds,
# lengths, starts, bank angles and ferry legs, each processed by sfmrbatch and
# converted by sfmr2nc, then the coverage of the truth by one and two standard errors, overall and per third
# of the seconds sorted by wind speed and by rain rate (bench/uncertainty_check.py).
#   bench/uncertainty_calibration.sh [measure|tune] [FLIGHTS]
# "measure" (the default) uses seeds 1001 on, "tune" seeds 1 on: the model was adjusted on the tune set only.
# Set BUILD=DIR to use an existing build directory instead of building build-bench/.
set -euo pipefail
cd "$(dirname "$0")/.."
set_name=${1:-measure}
flights=${2:-24}
case $set_name in
  measure) first_seed=1001 ;;
  tune) first_seed=1 ;;
  *) echo "usage: bench/uncertainty_calibration.sh [measure|tune] [FLIGHTS]" >&2; exit 2 ;;
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
if [ -n "${WORK:-}" ]; then
  work=$WORK
  rm -rf "$work"
  mkdir -p "$work"
else
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
fi
gzip -dc sample/landmask/mwir_land.txt.gz >"$work/mwir_land.txt"
cd "$work"
"$bin/tools/sfmrsim" grid sfmr_sst.bin

# The storm of flight i: intensity, size, motion asymmetry, motion and the passes' miss distance.
storm_options() {
  local i=$1
  echo "--vmax $((30 + (i * 7) % 41)) --rmw $((15 + (i * 11) % 46))" \
    "--asymmetry 0.$(((i * 3) % 4))" "--storm-speed $(((i * 5) % 9)) --storm-dir $(((i * 47) % 360))" \
    "--miss $(((i * 13) % 81 - 40))"
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
  read -r -a extra <<<"$(storm_options "$i")"
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

#!/usr/bin/env bash
# Accuracy of sfmrstorm across a family of simulated storms and flight patterns. Each flight is simulated
# (sfmrsim), processed (sfmrbatch), converted with its setup file so that the standard errors exist
# (sfmr2nc --setup) and analysed (sfmrstorm, some flights with --track NAME.bdeck, some storms from two
# flights hours apart analysed together); bench/storm_eval.cpp then compares every analysis with the
# simulator's truth and prints the figures overall, per kind of storm and per pattern, and a CSV summary
# (also written to $STORM_FAMILY_OUT/summary.csv when that is set).
#   bench/storm_family.sh [tune|tune3|heldout|heldout2|heldout3|heldout4|heldout5|heldout6|heldout7|heldout8|heldout9|heldout10|heldout11|heldout12|heldout13|heldout14|heldout15|heldout16|heldoutK|eyeless|sondes|sample|legacy] [N]
#     tune     N flights (default 36) of seeds 1001.. : the set the method is tuned on
#     tune3    N flights (default 36) of seeds 2001.. : drawn from the seed as heldout3, tuned on
#     heldout  N flights (default 36) of seeds 5001.. : run once per version of the method, never tuned on
#     heldout2 N flights (default 36) of seeds 6001.. : the same generator, a second held-out set
#     heldout3 N flights (default 36) of seeds 8001.. : storms of their own, every property drawn from the
#              seed (below), so that the set shares no storm with the tune set
#     heldout4 N flights (default 36) of seeds 9001.. : drawn from the seed as heldout3, a fourth held-out set
#     heldout5 N flights (default 36) of seeds 9501.. : drawn from the seed as heldout3, a fifth held-out set
#     heldout6 N flights (default 36) of seeds 9601.. : drawn from the seed as heldout3, a sixth held-out set
#     heldout7 N flights (default 36) of seeds 9701.. : drawn from the seed as heldout3, a seventh held-out set
#     heldout8 N flights (default 36) of seeds 9801.. : drawn from the seed as heldout3, an eighth held-out set
#     heldout9 N flights (default 36) of seeds 9901.. : drawn from the seed as heldout3, a ninth held-out set
#     heldout10 N flights (default 36) of seeds 10001.. : drawn from the seed as heldout3, a tenth held-out set
#     heldout11 N flights (default 36) of seeds 11001.. : drawn from the seed as heldout3, an eleventh held-out set
#     heldout12 N flights (default 36) of seeds 12001.. : drawn from the seed as heldout3, a twelfth held-out set
#     heldout13 N flights (default 36) of seeds 13001.. : drawn from the seed as heldout3, a thirteenth held-out set
#     heldout14 N flights (default 36) of seeds 14001.. : drawn from the seed as heldout3, a fourteenth held-out set
#     heldout15 N flights (default 36) of seeds 15001.. : drawn from the seed as heldout3, a fifteenth held-out set
#     heldout16 N flights (default 36) of seeds 16001.. : drawn from the seed as heldout3, a sixteenth held-out set
#     heldoutK N flights (default 36) of seeds K001.. for K from 17 to 99: further held-out sets drawn as heldout3,
#              one for each version of the method to be measured on once
#     eyeless  N flights (default 30) of seeds 32001.. : the corner where no pass shows the eye, drawn from the
#              seed: broad-cored storms (Holland B 0.8-1.1 or wdr n 0.4-0.8; RMW 12-40 km, Vmax 35-70 m/s),
#              lopsided (20-40 % of Vmax right of the motion or in their own direction; eye wind 0-6 m/s),
#              still or moving at 2-10 m/s, flown in any pattern but a single pass with every pass missing
#              the centre by 0.35-0.6 RMW (at most 14 km); analysed without --track, tuned on (the search
#              for the vortex that no pass marks)
#     sondes   N flights (default 24) of seeds 7001.. : bench/sonde_family.sh's flights, never tuned on
#     sondes3  N flights (default 24) of seeds 8101.. : bench/sonde_family.sh's held-out flights, drawn as heldout3's
#     sample   the sample flight (sfmrsim's defaults, seed 1) and its storm flown with seeds 2..N (default 8)
#     legacy   the 24 flights of bench/storm_accuracy.sh 101 (seeds 101-124), analysed with --track
# The family, flight i of a set (seed FIRST + i), takes each property from its own cycle over i:
#   profile    Holland (B 0.8-2.3), wdr (power law inside the RMW, dual exponential outside, n 0.5-2.1),
#              concentric eyewalls (outer maximum at 2-3.5 RMW, 0.6-1.05 of the inner one)
#   asymmetry  none; right of the motion (--asymmetry 10-40 % of Vmax); wavenumber 1 of 10-40 % of Vmax in
#              its own direction; the same plus a wavenumber 2 of 10 % of Vmax; eye wind 0, 5 or 10 m/s;
#              the eyewall rain ring at 0.8-1.4 RMW, heaviest in its own direction
#   pattern    figure4, rotated4, alpha, butterfly, random, single
#   miss       through the centre, 3 or 7 km (near), 10 or 14 km (far), 0.4 RMW, or a different miss per pass
#              (0, 4-8, 8-14 km and 2 km in turn: mixed)
#   motion     0, 3, 6, 9 or 12 m/s (still, slow up to 6, fast) in any direction; RMW 10-80 km; Vmax 30-75 m/s
#   track      every eleventh flight flies into a storm from a HURDAT2 track instead (--track --at), its
#              profile and asymmetry fitted by the simulator to the track's wind radii (tag profile=track)
# The sets above fly the same storms for the same i (the seed changes only the random draws: noise, random
# patterns, damaged records). heldout3 and heldout4 instead draw every property of flight i from its seed
# (drawn_flight: uniform numbers from the SHA-256 of the seed, the same on every machine), continuous over
# the family's ranges: profile Holland (B 0.8-2.5), wdr (n 0.4-2.5) or concentric (outer maximum at 2-3.5 RMW, 0.6-1.1
# of the inner one); asymmetry none, right of the motion (10-40 % of Vmax), wavenumber 1 of 0-40 % of Vmax
# in any direction, or that plus a wavenumber 2 of 0-15 % of Vmax; eye wind 0 or 2-10 m/s; rain ring at
# 0.8-1.4 RMW in any direction; any pattern; a miss through the centre, 2-7 km (near), 7-14 km (far) either
# side, 0.4 RMW, or a miss per pass within 14 km (mixed); motion still or 0.5-12 m/s in any direction; RMW
# 10-80 km (uniform in its logarithm), Vmax 30-75 m/s; every eleventh flight from the track as above. Its
# tags are the other sets' (rmw= the nearest of 10, 20, 30, 45, 60, 80).
# An option that sfmrsim does not offer is left out and the flight's tags say what it was instead. The last
# four flights of a set are two storms flown twice, the second flight starting five hours after the first
# (with --storm-time when sfmrsim has it, so that the storm moves on between them; else a still storm); each
# pair is analysed together (tag flights=2). About one single flight in three is analysed with --track
# NAME.bdeck (the simulator's best track; tag track=yes), the others without. The tags name the groups of the
# figures.
# Flights run two at a time. The truth of every figure is defined in the header of bench/storm_eval.cpp:
# today's (a leg's peak is the largest 10-s mean of the true wind on the same leg, its RMW that window's
# distance from the true centre; the radii the same statistic from the true wind) and the new ones: a fix
# is spurious when no true pass within 1 RMW of the centre lies within 2 minutes of it; a quadrant's data
# show a threshold's crossing when its outermost true 10-s mean is below the threshold and some mean reaches
# it or lies inside the RMW (elsewhere a radius given without E or U is unjustified); coverage counts the
# truth within one and two stated errors; the motion is scored where three or more passes within 0.5 RMW
# (or 10 km) of the centre span an hour or more, against the true centre's mean velocity between them.
# Environment: SFMR_BUILD (build directory, default build-bench/), STORM_FAMILY_OUT (keep every file there
# instead of a temporary directory), STORM_FAMILY_HOURS (hours per flight, default 3.5), STORM_FAMILY_SIM
# (more sfmrsim options for every flight, such as --sondes 10), STORM_FAMILY_SONDES_FIRST (first seed of the
# sondes set, default 7001, or of sondes3, default 8101).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
# shellcheck source=bench/uniforms.sh
. bench/uniforms.sh
# shellcheck source=bench/work_dir.sh
. bench/work_dir.sh
bin=${SFMR_BUILD:-$root/build-bench}
set_name=${1:-tune}
case "$set_name" in
  tune) first=1001 count=${2:-36} ;;
  tune3) first=2001 count=${2:-36} ;;
  heldout) first=5001 count=${2:-36} ;;
  heldout2) first=6001 count=${2:-36} ;;
  heldout3) first=8001 count=${2:-36} ;;
  heldout4) first=9001 count=${2:-36} ;;
  heldout5) first=9501 count=${2:-36} ;;
  heldout6) first=9601 count=${2:-36} ;;
  heldout7) first=9701 count=${2:-36} ;;
  heldout8) first=9801 count=${2:-36} ;;
  heldout9) first=9901 count=${2:-36} ;;
  heldout10) first=10001 count=${2:-36} ;;
  heldout11) first=11001 count=${2:-36} ;;
  heldout12) first=12001 count=${2:-36} ;;
  heldout13) first=13001 count=${2:-36} ;;
  heldout14) first=14001 count=${2:-36} ;;
  heldout15) first=15001 count=${2:-36} ;;
  heldout16) first=16001 count=${2:-36} ;;
  heldout1[7-9] | heldout[2-9][0-9]) first=$((${set_name#heldout} * 1000 + 1)) count=${2:-36} ;;
  eyeless) first=32001 count=${2:-30} ;;
  sondes) first=${STORM_FAMILY_SONDES_FIRST:-7001} count=${2:-24} ;;
  sondes3) first=${STORM_FAMILY_SONDES_FIRST:-8101} count=${2:-24} ;;
  sample) first=1 count=${2:-8} ;;
  legacy) first=101 count=24 ;;
  *)
    echo "usage: bench/storm_family.sh [tune|tune3|heldout|heldout2|heldout3|heldout4|heldout5|heldout6|heldout7|heldout8|heldout9|heldout10|heldout11|heldout12|heldout13|heldout14|heldout15|heldout16|heldoutK (K 17-99)|eyeless|sondes|sondes3|sample|legacy] [N]" >&2
    exit 2
    ;;
esac
case "$count" in '' | *[!0-9]*)
  echo "storm_family.sh: N must be a whole number, not '$count'" >&2
  exit 2
  ;;
esac
hours=${STORM_FAMILY_HOURS:-3.5}
read -r -a sim_extra <<<"${STORM_FAMILY_SIM:-}"

generator=()
command -v ninja >/dev/null 2>&1 && generator=(-G Ninja)
if [ ! -f "$bin/CMakeCache.txt" ]; then
  cmake -S . -B "$bin" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release -DSFMR_TESTS=OFF -DSFMR_BENCH=OFF \
    >/dev/null
fi
cmake --build "$bin" -j 2 --target sfmrbatch sfmrsim sfmr2nc sfmrstorm storm_eval >/dev/null

if [ -n "${STORM_FAMILY_OUT:-}" ] && [ -d "$STORM_FAMILY_OUT" ] && [ -n "$(ls -A "$STORM_FAMILY_OUT")" ]; then
  echo "storm_family.sh: $STORM_FAMILY_OUT is not empty" >&2
  exit 1
fi
enter_work_dir "${STORM_FAMILY_OUT:-}"
# The storm of the tropical-cyclone format notes' HURDAT2 example, for the flights from a track.
cat >family.hurdat2 <<'EOF'
AL092024,             SAMPLE,      2,
20240926, 1200,  , HU, 24.5N,  85.2W, 105,  955,  180,  160,  110,  150,   90,   80,   60,   70,   50,   45,   30,   40,   20
20240927, 0310, L, HU, 30.1N,  83.9W, 120,  938,  200,  180,  120,  160,  100,   90,   70,   80,   60,   50,   40,   45,   25
EOF
sim_help=$("$bin/tools/sfmrsim" --help)
# A number with $1 decimals: the arithmetic expression $2 (decimal fractions allowed).
calc() { awk "BEGIN { printf \"%.$1f\", $2 }"; }
# True when sfmrsim has the option $1.
has() { grep -q -- "$1 " <<<"$sim_help"; }

# Simulates, processes and converts one flight: make_flight NAME SFMRSIM-OPTIONS...
make_flight() {
  local name=$1
  shift
  {
    "$bin/tools/sfmrsim" flight . --name "$name" --storm-truth "$@" "${sim_extra[@]}"
    "$bin/sfmrbatch" <"$name.answers"
    "$bin/tools/sfmr2nc" "$name.OUT" "$name.dat" --setup "$name.setup"
  } >"$name.log" 2>&1 || {
    echo "storm_family.sh: flight $name failed (see $work/$name.log)" >&2
    return 1
  }
}

# Analyses flights: analyse PREFIX TAGS FLIGHT... [-- SFMRSTORM-OPTIONS...]. A refusal is a result: its
# message goes to PREFIX.refused and the evaluator counts it.
analyse() {
  local prefix=$1 tags=$2 flights=() options=()
  shift 2
  while [ $# -gt 0 ] && [ "$1" != -- ]; do
    flights+=("$1")
    shift
  done
  [ $# -gt 0 ] && shift && options=("$@")
  local inputs=()
  for f in "${flights[@]}"; do inputs+=("$f.nc"); done
  "$bin/tools/sfmrstorm" "${inputs[@]}" -o "$prefix" "${options[@]}" >/dev/null 2>"$prefix.refused" &&
    rm -f "$prefix.refused"
  echo "$prefix,${flights[*]},$tags" >>manifest.csv
}

# Runs `make_flight` for each line of the file $1 (NAME OPTIONS...), two at a time.
make_flights() {
  local running=0 line
  while read -r -a line; do
    make_flight "${line[@]}" &
    running=$((running + 1))
    if [ "$running" -ge 2 ]; then
      wait -n
      running=$((running - 1))
    fi
  done <"$1"
  while [ "$running" -gt 0 ]; do
    wait -n
    running=$((running - 1))
  done
}

# One line of the family's table: NAME, then sfmrsim's options, then "|" and the tags. Flight $1 of the set.
# Each property cycles with its own period in i, so that the pairs of properties mix.
family_flight() {
  local i=$1 seed=$((first + $1))
  local profiles=(holland wdr concentric) asyms=(none motion wn1 wn2)
  local patterns=(figure4 rotated4 alpha butterfly random single) misses=(0 3 -7 10 -14 rmw mixed)
  local speeds=(0 3 6 9 12) rmws=(10 20 30 45 60 80) vmaxes=(30 45 60 75)
  local profile=${profiles[i % 3]} pattern=${patterns[(i / 3) % 6]} asym=${asyms[i % 4]}
  local miss=${misses[i % 7]} speed=${speeds[i % 5]} rmw=${rmws[(3 * i + i / 4) % 6]}
  local vmax=${vmaxes[(i + i / 4) % 4]} share=0.$((1 + (i * 3) % 4))
  local opts=(--seed "$seed" --no-land --hours "$hours" --rmw "$rmw" --vmax "$vmax" --storm-speed "$speed"
    --storm-dir $(((i * 47) % 360)))
  has --profile || profile=holland
  has --wn1 || { [ "$asym" = none ] || asym=motion; }
  has --pattern || pattern=figure4
  has --misses || { [ "$miss" = mixed ] && miss=5; }
  # Every eleventh flight flies into a storm from a track file instead (family.hurdat2, the example of the
  # format notes: 105 kt, RMW 20 n mi = 37 km, moving north-north-east at 12 m/s), whose profile and
  # asymmetry the simulator fits to the track's wind radii.
  local path=() from_track=no
  [ $((i % 11)) -eq 10 ] && has --track && from_track=yes rmw=37
  case "$miss" in
    rmw) path+=(--miss "$(calc 1 "0.4 * $rmw")") ;;
    mixed) path+=(--misses "0,$((4 + i % 5)),-$((8 + i % 7)),2") ;;
    *) path+=(--miss "$miss") ;;
  esac
  case "$profile" in
    holland) has --holland-b && opts+=(--holland-b "$(calc 1 "0.8 + 0.3 * $((i % 6))")") ;;
    wdr) opts+=(--profile wdr --wdr-n "$(calc 1 "0.5 + 0.4 * $((i % 5))")") ;;
    concentric)
      opts+=(--profile concentric --outer-radius "$(calc 2 "2 + 0.25 * $((i % 7))")"
        --outer-ratio "$(calc 2 "0.6 + 0.09 * $((i % 6))")")
      ;;
  esac
  local amount
  amount=$(calc 1 "$share * $vmax")
  case "$asym" in
    none) opts+=(--asymmetry 0) ;;
    motion) opts+=(--asymmetry "$share") ;;
    wn1) opts+=(--asymmetry 0 --wn1 "$amount" --wn1-dir $(((i * 83) % 360))) ;;
    wn2)
      opts+=(--asymmetry 0 --wn1 "$amount" --wn1-dir $(((i * 83) % 360)) --wn2 "$(calc 1 "0.1 * $vmax")"
        --wn2-dir $(((i * 29) % 180)))
      ;;
  esac
  has --eye-wind && [ $((i % 3)) -gt 0 ] && opts+=(--eye-wind $((5 * (i % 3))))
  has --rain-ring && opts+=(--rain-ring "$(calc 2 "0.8 + 0.1 * $((i % 7))")" --rain-dir $(((i * 131) % 360)))
  [ "$pattern" = figure4 ] || path+=(--pattern "$pattern")
  opts+=("${path[@]}")
  local miss_tag=$miss
  case "$miss" in
    0) miss_tag=through ;;
    3 | -7 | 5) miss_tag=near ;;
    10 | -14) miss_tag=far ;;
    rmw) miss_tag=0.4rmw ;;
  esac
  local motion_tag=still
  [ "$speed" -gt 0 ] && motion_tag=slow
  [ "$speed" -gt 6 ] && motion_tag=fast
  if [ "$from_track" = yes ]; then
    opts=(--seed "$seed" --no-land --hours "$hours" --track family.hurdat2 --at 2024092612 "${path[@]}")
    profile=track asym=track motion_tag=fast
  fi
  local tags="profile=$profile;asym=$asym;pattern=$pattern;miss=$miss_tag;motion=$motion_tag;rmw=$rmw"
  echo "f$seed ${opts[*]} |$tags"
}

# Uniform numbers in [0, 1) for seed $1 (bench/uniforms.sh): 32 of them, one line.
uniforms() { uniforms_of "storm $1 a" "storm $1 b"; }

# The line of flight $1 of tune3 or heldout3-99 (as family_flight's), every property drawn from the seed.
drawn_flight() {
  local i=$1 seed=$((first + $1)) u
  read -r -a u <<<"$(uniforms "$seed")"
  # pick U N: 0..N-1 from the uniform U. draw U LO HI DECIMALS: LO + U (HI - LO).
  pick() { awk "BEGIN { printf \"%d\", int($1 * $2) }"; }
  draw() { calc "$4" "$2 + $1 * ($3 - $2)"; }
  local profiles=(holland wdr concentric) asyms=(none motion wn1 wn2)
  local patterns=(figure4 rotated4 alpha butterfly random single) kinds=(through near far rmw mixed)
  local profile=${profiles[$(pick "${u[0]}" 3)]} asym=${asyms[$(pick "${u[1]}" 4)]}
  local pattern=${patterns[$(pick "${u[2]}" 6)]} kind=${kinds[$(pick "${u[3]}" 5)]}
  local rmw vmax speed=0 side=1
  rmw=$(calc 1 "10 * exp(${u[4]} * log(8))")
  vmax=$(draw "${u[5]}" 30 75 1)
  awk "BEGIN { exit !(${u[6]} >= 0.2) }" && speed=$(draw "${u[7]}" 0.5 12 1)
  awk "BEGIN { exit !(${u[8]} < 0.5) }" && side=-1
  local opts=(--seed "$seed" --no-land --hours "$hours" --rmw "$rmw" --vmax "$vmax" --storm-speed "$speed"
    --storm-dir "$(draw "${u[9]}" 0 360 0)")
  local path=() from_track=no miss_tag=$kind
  [ $((i % 11)) -eq 10 ] && from_track=yes rmw=37
  case "$kind" in
    through) path+=(--miss 0) ;;
    near) path+=(--miss "$(calc 1 "$side * (2 + 5 * ${u[10]})")") ;;
    far) path+=(--miss "$(calc 1 "$side * (7 + 7 * ${u[10]})")") ;;
    rmw) path+=(--miss "$(calc 1 "$side * 0.4 * $rmw")") miss_tag=0.4rmw ;;
    mixed)
      path+=(--misses "$(awk -v a="${u[10]}" -v b="${u[11]}" -v c="${u[12]}" -v d="${u[13]}" \
        'BEGIN { printf "%.1f,%.1f,%.1f,%.1f", 28 * a - 14, 28 * b - 14, 28 * c - 14, 28 * d - 14 }')")
      ;;
  esac
  case "$profile" in
    holland) opts+=(--holland-b "$(draw "${u[14]}" 0.8 2.5 2)") ;;
    wdr) opts+=(--profile wdr --wdr-n "$(draw "${u[14]}" 0.4 2.5 2)") ;;
    concentric)
      opts+=(--profile concentric --holland-b "$(draw "${u[14]}" 1 2 2)"
        --outer-radius "$(draw "${u[15]}" 2 3.5 2)" --outer-ratio "$(draw "${u[16]}" 0.6 1.1 2)")
      ;;
  esac
  case "$asym" in
    none) opts+=(--asymmetry 0) ;;
    motion) opts+=(--asymmetry "$(draw "${u[17]}" 0.1 0.4 2)") ;;
    wn1 | wn2)
      opts+=(--asymmetry 0 --wn1 "$(calc 1 "${u[17]} * 0.4 * $vmax")" --wn1-dir "$(draw "${u[18]}" 0 360 0)")
      [ "$asym" = wn2 ] &&
        opts+=(--wn2 "$(calc 1 "${u[19]} * 0.15 * $vmax")" --wn2-dir "$(draw "${u[20]}" 0 180 0)")
      ;;
  esac
  awk "BEGIN { exit !(${u[21]} >= 1 / 3) }" && opts+=(--eye-wind "$(draw "${u[22]}" 2 10 1)")
  opts+=(--rain-ring "$(draw "${u[23]}" 0.8 1.4 2)" --rain-dir "$(draw "${u[24]}" 0 360 0)")
  [ "$pattern" = figure4 ] || path+=(--pattern "$pattern")
  opts+=("${path[@]}")
  local motion_tag=still
  awk "BEGIN { exit !($speed > 0) }" && motion_tag=slow
  awk "BEGIN { exit !($speed > 6) }" && motion_tag=fast
  if [ "$from_track" = yes ]; then
    opts=(--seed "$seed" --no-land --hours "$hours" --track family.hurdat2 --at 2024092612 "${path[@]}")
    profile=track asym=track motion_tag=fast
  fi
  local rmw_tag
  rmw_tag=$(awk -v r="$rmw" 'BEGIN { n = split("10 20 30 45 60 80", c, " "); b = c[1]
    for (k = 2; k <= n; k++) if ((r - c[k]) ^ 2 < (r - b) ^ 2) b = c[k]
    print b }')
  local tags="profile=$profile;asym=$asym;pattern=$pattern;miss=$miss_tag;motion=$motion_tag;rmw=$rmw_tag"
  echo "f$seed ${opts[*]} |$tags"
}

# The line of flight $1 of the eyeless set, every property drawn from the seed.
eyeless_flight() {
  local seed=$((first + $1)) u
  read -r -a u <<<"$(uniforms "$seed")"
  pick() { awk "BEGIN { printf \"%d\", int($1 * $2) }"; }
  draw() { calc "$4" "$2 + $1 * ($3 - $2)"; }
  local patterns=(figure4 rotated4 alpha butterfly random) profile=holland asym=motion speed=0 side=1
  local pattern=${patterns[$(pick "${u[0]}" 5)]} rmw vmax
  rmw=$(draw "${u[1]}" 12 40 1)
  vmax=$(draw "${u[2]}" 35 70 1)
  awk "BEGIN { exit !(${u[3]} >= 0.5) }" && speed=$(draw "${u[4]}" 2 10 1)
  awk "BEGIN { exit !(${u[5]} < 0.5) }" && side=-1
  local opts=(--seed "$seed" --no-land --hours "$hours" --rmw "$rmw" --vmax "$vmax" --storm-speed "$speed"
    --storm-dir "$(draw "${u[6]}" 0 360 0)")
  if awk "BEGIN { exit !(${u[7]} < 0.6) }"; then
    opts+=(--holland-b "$(draw "${u[8]}" 0.8 1.1 2)")
  else
    profile=wdr
    opts+=(--profile wdr --wdr-n "$(draw "${u[8]}" 0.4 0.8 2)")
  fi
  if awk "BEGIN { exit !(${u[9]} < 0.5) }"; then
    opts+=(--asymmetry "$(draw "${u[10]}" 0.2 0.4 2)")
  else
    asym=wn1
    opts+=(--asymmetry 0 --wn1 "$(calc 1 "(0.2 + 0.2 * ${u[10]}) * $vmax")" --wn1-dir "$(draw "${u[11]}" 0 360 0)")
  fi
  opts+=(--eye-wind "$(draw "${u[12]}" 0 6 1)" --rain-ring "$(draw "${u[13]}" 0.8 1.4 2)"
    --rain-dir "$(draw "${u[14]}" 0 360 0)")
  opts+=(--miss "$(awk -v s="$side" -v r="$rmw" -v u="${u[15]}" \
    'BEGIN { m = (0.35 + 0.25 * u) * r; if (m > 14) m = 14; printf "%.1f", s * m }')")
  [ "$pattern" = figure4 ] || opts+=(--pattern "$pattern")
  local motion_tag=still
  awk "BEGIN { exit !($speed > 0) }" && motion_tag=slow
  awk "BEGIN { exit !($speed > 6) }" && motion_tag=fast
  echo "f$seed ${opts[*]} |profile=$profile;asym=$asym;pattern=$pattern;miss=eyeless;motion=$motion_tag"
}

# Flight $1 of the set: drawn from its seed (tune3, heldout3-99, sondes3, eyeless) or from its place in the set
# (the others).
set_flight() {
  case "$set_name" in
    tune3 | heldout3 | heldout4 | heldout5 | heldout6 | heldout7 | heldout8 | heldout9 | heldout10 | heldout11 | heldout12 | heldout13 | heldout14 | heldout15 | heldout16 | heldout1[7-9] | heldout[2-9][0-9] | sondes3) drawn_flight "$1" ;;
    eyeless) eyeless_flight "$1" ;;
    *) family_flight "$1" ;;
  esac
}

# The flights of the set, one line each (NAME OPTIONS... |TAGS), into flights.txt.
list_flights() {
  local i singles=$count
  case "$set_name" in
    sample)
      for ((i = 0; i < count; i++)); do
        echo "s$((first + i)) --seed $((first + i)) --sst sfmr_sst.bin |set=sample;track=no"
      done
      return
      ;;
    legacy)
      local misses=(0 3 6 10 15 0 8 12) speeds=(0 2 4 6 8 5) asyms=(0 0.1 0.2 0.25 0.15) rmws=(25 35 45 30)
      local vmaxes=(40 50 60)
      for ((i = 0; i < count; i++)); do
        echo "f$((first + i)) --seed $((first + i)) --no-land --hours 4.5 --miss ${misses[i % 8]}" \
          "--storm-speed ${speeds[i % 6]} --storm-dir $(((i * 47) % 360)) --asymmetry ${asyms[i % 5]}" \
          "--rmw ${rmws[i % 4]} --vmax ${vmaxes[i % 3]} |set=legacy;track=yes"
      done
      return
      ;;
  esac
  [ "$count" -ge 8 ] && singles=$((count - 4))
  for ((i = 0; i < singles; i++)); do
    local line track=no
    line=$(set_flight "$i")
    [ $(((i + 2 * (i / 3)) % 3)) -eq 0 ] && [ "$set_name" != eyeless ] && track=yes
    echo "$line;track=$track"
  done
  # Two storms flown twice: the second flight of a storm starting five hours after the first, with a new
  # seed. The storm keeps moving between them where sfmrsim has --storm-time (else it stands still); in a
  # storm from the track file the second flight is at the track's position five hours on.
  for ((i = singles; i + 1 < count; i += 2)); do
    local line opts
    line=$(set_flight "$i")
    opts=${line#* }
    opts=${opts% |*}
    local later="--date 08/12/2026 --start 04:10:00"
    if [[ "$opts" == *--track* ]]; then
      later=
    elif has --storm-time; then
      opts="$opts --storm-time 2026120723"
    else
      opts=$(sed -E 's/--storm-speed [0-9.]+/--storm-speed 0/' <<<"$opts")
    fi
    # The second flight is the storm's second mission (its messages and sondes named apart).
    has --mission && later="$later --mission 2"
    local second=${opts/--seed $((first + i))/--seed $((first + i + 1))}
    echo "f$((first + i)) $opts |${line#*|};track=no;flights=2"
    echo "f$((first + i + 1)) ${second/--at 2024092612/--at 2024092617} $later |pair"
  done
}

list_flights >flights.txt
cut -d'|' -f1 flights.txt >commands.txt
echo "flights of the '$set_name' set (sfmrsim options):"
cat commands.txt
make_flights commands.txt

echo "analysis,flights,tags" >manifest.csv
mapfile -t lines <flights.txt
for ((j = 0; j < ${#lines[@]}; j++)); do
  name=${lines[j]%% *} tags=${lines[j]#*|} next=${lines[j + 1]:-}
  if [[ "$next" == *"|pair" ]]; then
    second=${next%% *}
    analyse "$name-$second" "$tags" "$name" "$second"
    j=$((j + 1))
  elif [[ "$tags" == *track=yes* ]]; then
    analyse "$name" "$tags" "$name" -- --track "$name.bdeck"
  else
    analyse "$name" "$tags" "$name"
  fi
done

summary=()
[ -n "${STORM_FAMILY_OUT:-}" ] && summary=(--csv "$work/summary.csv")
echo
"$bin/tools/storm_eval" --manifest manifest.csv "${summary[@]}"

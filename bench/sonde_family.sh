#!/usr/bin/env bash
# Radiometer against dropsondes on simulated flights of the storm family. bench/storm_family.sh makes the
# flights of its `sondes` set (seeds 7001.., disjoint from the tune set 1001.. and the held-out set 5001..;
# the sondes' simulation and comparison were tuned on 7001-7024 only; 7301.. is their held-out start; the
# storms follow the flight's place in the set) or of its `sondes3` set (seeds 8101..: storms drawn from the
# seeds, none of them the tune set's), each with `sfmrsim flight ... --sondes 20`,
# processes them (sfmrbatch, sfmr2nc --setup for the standard errors) and analyses them (sfmrstorm: the
# centres). sfmrsonde then compares every analysis's sondes with its flights, once from the TEMP DROP
# bulletins and once from the EOL files, with --flight and --storm (the analysis's centres, when sfmrstorm
# made them); bench/sonde_family_check.py checks and prints (a) every sonde read from both forms with the
# same 10-m wind within the message's rounding, (b) every sonde matched, (c) the radiometer's 10-s means
# recomputed from the flight files, (d) the statistics table, the combined-error coverage and each of its
# terms against the simulator's truth, and the same sondes against the flights' HDOB archives (30-s peaks).
#   bench/sonde_family.sh [N]      N flights (default 24, at least 8: the last four are two storms flown twice)
# Environment: SFMR_BUILD (build directory, default build-bench/), SONDE_FAMILY_OUT (keep every file there
# instead of a temporary directory; it must be empty or absent), STORM_FAMILY_HOURS (hours per flight),
# SONDE_FAMILY_SET (storm_family.sh's set: sondes, the default, or sondes3), SONDE_FAMILY_FIRST_SEED (the
# first flight's seed, default 7001 for sondes (7301 its held-out start) and 8101 for sondes3),
# SONDE_FAMILY_SONDES (sondes per flight, default 20).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bin=${SFMR_BUILD:-$root/build-bench}
count=${1:-24}
set_name=${SONDE_FAMILY_SET:-sondes}
case "$set_name" in
  sondes) first_seed=${SONDE_FAMILY_FIRST_SEED:-7001} ;;
  sondes3) first_seed=${SONDE_FAMILY_FIRST_SEED:-8101} ;;
  *)
    echo "sonde_family.sh: SONDE_FAMILY_SET must be sondes or sondes3, not '$set_name'" >&2
    exit 2
    ;;
esac
per_flight=${SONDE_FAMILY_SONDES:-20}
for n in "$count" "$first_seed" "$per_flight"; do
  case "$n" in '' | *[!0-9]*)
    echo "sonde_family.sh: N, SONDE_FAMILY_FIRST_SEED and SONDE_FAMILY_SONDES must be whole numbers, not '$n'" >&2
    exit 2
    ;;
  esac
done

if [ -n "${SONDE_FAMILY_OUT:-}" ]; then
  mkdir -p "$SONDE_FAMILY_OUT"
  work=$(cd "$SONDE_FAMILY_OUT" && pwd)
  [ -z "$(ls -A "$work")" ] || {
    echo "sonde_family.sh: $work is not empty" >&2
    exit 1
  }
else
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
fi

# The flights and analyses in flights/, sfmrsonde's outputs in flights/sondes/.
STORM_FAMILY_OUT=$work/flights STORM_FAMILY_SIM="--sondes $per_flight --hdob" SFMR_BUILD=$bin \
  STORM_FAMILY_SONDES_FIRST=$first_seed bench/storm_family.sh "$set_name" "$count" >"$work/storm_family.log"
cmake --build "$bin" -j 2 --target sfmrsonde >/dev/null
cd "$work/flights"
mkdir sondes

# sfmrsonde over one analysis's sondes in one form against its flight files: compare PREFIX FORM FLIGHTS...
# (td: TEMP DROP, eol: EOL files, hdob: TEMP DROP against the flights' HDOB archives).
compare() {
  local prefix=$1 form=$2 inputs=() options=()
  shift 2
  for f in "$@"; do
    case "$form" in
      td) inputs+=("$f.tempdrop") options+=(--flight "$f.nc") ;;
      eol) inputs+=("$f".sondes/*.eol) options+=(--flight "$f.nc") ;;
      hdob) inputs+=("$f.tempdrop") options+=(--flight "$f.hdob") ;;
    esac
  done
  [ -f "$prefix.centres.csv" ] && options+=(--storm "$prefix")
  "$bin/tools/sfmrsonde" "${inputs[@]}" "${options[@]}" -o "sondes/$prefix.$form" --csv \
    >"sondes/$prefix.$form.log" 2>&1 || {
    echo "sonde_family.sh: sfmrsonde failed on $prefix ($form; see $work/flights/sondes/$prefix.$form.log)" >&2
    return 1
  }
}

tail -n +2 manifest.csv | while IFS=, read -r prefix flights _; do
  read -r -a names <<<"$flights"
  compare "$prefix" td "${names[@]}"
  compare "$prefix" eol "${names[@]}"
  compare "$prefix" hdob "${names[@]}"
done
echo "flights: $(tail -n +2 manifest.csv | cut -d, -f2 | wc -w), analyses: $(($(wc -l <manifest.csv) - 1))," \
  "sondes: $(cat ./*.sonde_truth.csv | grep -vc '^id,')"
python3 "$root/bench/sonde_family_check.py" "$work/flights"

#!/usr/bin/env bash
# Re-run sfmrstorm over a set that bench/storm_family.sh kept (STORM_FAMILY_OUT=DIR) and evaluate it again,
# without simulating the flights: the quick loop for a change of the method. The kept directory is
# changed in place (the analyses' files are written anew), so run it on a copy of a set you want to keep.
#   bench/storm_reanalyse.sh DIR [SUMMARY.csv]
#     DIR          the kept set: manifest.csv and each flight's .nc, .bdeck and truth files
#     SUMMARY.csv  also write storm_eval's figures as CSV
# SFMR_BUILD (default build-bench) gives tools/sfmrstorm and tools/storm_eval. STORM_EVAL_FIXES=1,
# STORM_EVAL_LEGS=1 and STORM_EVAL_RADII=1 print one line per fix, leg or radius.
set -euo pipefail
if [ $# -lt 1 ] || [ $# -gt 2 ] || [ ! -f "$1/manifest.csv" ]; then
  echo "usage: bench/storm_reanalyse.sh DIR [SUMMARY.csv] (DIR holding a kept set's manifest.csv)" >&2
  exit 2
fi
bin=$(cd "${SFMR_BUILD:-build-bench}" && pwd)
csv=()
[ -n "${2:-}" ] && csv=(--csv "$(cd "$(dirname "$2")" && pwd)/$(basename "$2")")
cd "$1"
tail -n +2 manifest.csv | while IFS=, read -r prefix flights tags; do
  rm -f "$prefix".centres.csv "$prefix".legs.csv "$prefix".radii.csv "$prefix".storm.txt "$prefix".fdeck \
    "$prefix".storm.nc "$prefix".storm.png "$prefix".radial.png "$prefix".refused
  inputs=() opts=()
  for f in $flights; do inputs+=("$f.nc"); done
  [[ "$tags" == *track=yes* ]] && opts=(--track "${flights%% *}.bdeck")
  # A refused flight leaves its message in PREFIX.refused, which the evaluator counts.
  if "$bin/tools/sfmrstorm" "${inputs[@]}" -o "$prefix" "${opts[@]}" >/dev/null 2>"$prefix.refused"; then
    rm -f "$prefix.refused"
  fi
done
"$bin/tools/storm_eval" --manifest manifest.csv "${csv[@]}"

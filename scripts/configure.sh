#!/usr/bin/env bash
# Configures a build directory with the whole option set of one kind of build: the one place that says
# which options each kind has. Every script that configures a build calls it, so a directory configured by
# one script never keeps another script's options.
#   scripts/configure.sh KIND DIR
# Kinds (build directories by convention):
#   tests     Release with unit tests and benchmarks (build/: run_tests.sh, tests/golden/make_golden.sh)
#   sample    Release without unit tests and benchmarks, so no GoogleTest needed (build/: run_sample.sh)
#   sanitize  Debug with AddressSanitizer and UndefinedBehaviorSanitizer, unit tests (build-asan/)
#   bench     Release, programs only (build-bench/: bench/*.sh)
#   fuzz      clang, RelWithDebInfo, libFuzzer targets (build-fuzz/: fuzz/campaign.sh)
# SFMR_WERROR=ON in the environment makes every warning an error (continuous integration sets it).
set -euo pipefail

usage() {
  echo "usage: scripts/configure.sh KIND DIR (KIND: tests, sample, sanitize, bench, fuzz)" >&2
  exit 2
}
[ $# -eq 2 ] || usage
kind=$1 dir=$2
werror=${SFMR_WERROR:-OFF}
case "$werror" in ON | OFF) ;; *)
  echo "configure.sh: SFMR_WERROR must be ON or OFF, not '$werror'" >&2
  exit 2
  ;;
esac

compiler=()
case "$kind" in
  tests) type=Release tests=ON bench=ON sanitize=OFF fuzz=OFF ;;
  sample) type=Release tests=OFF bench=OFF sanitize=OFF fuzz=OFF ;;
  sanitize) type=Debug tests=ON bench=OFF sanitize=ON fuzz=OFF ;;
  bench) type=Release tests=OFF bench=OFF sanitize=OFF fuzz=OFF ;;
  fuzz)
    type=RelWithDebInfo tests=OFF bench=OFF sanitize=OFF fuzz=ON
    compiler=(-DCMAKE_CXX_COMPILER=clang++)
    ;;
  *) usage ;;
esac

generator=()
if [ ! -f "$dir/CMakeCache.txt" ] && command -v ninja >/dev/null 2>&1; then
  generator=(-G Ninja)
fi
root=$(cd "$(dirname "$0")/.." && pwd)
cmake -S "$root" -B "$dir" "${generator[@]}" "${compiler[@]}" -DCMAKE_BUILD_TYPE="$type" \
  -DSFMR_TESTS="$tests" -DSFMR_BENCH="$bench" -DSFMR_SANITIZE="$sanitize" -DSFMR_FUZZ="$fuzz" \
  -DSFMR_WERROR="$werror" >/dev/null

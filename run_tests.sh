#!/usr/bin/env bash
# Builds sfmrbatch with its unit tests and runs them. Installs the missing Debian packages first (as root;
# otherwise it prints the apt-get line to run and stops).
#   ./run_tests.sh             normal build (build/)
#   ./run_tests.sh --sanitize  AddressSanitizer + UndefinedBehaviorSanitizer build (build-asan/)
# SFMR_WERROR=ON in the environment makes every compiler warning an error.
set -euo pipefail
cd "$(dirname "$0")"

usage() {
  echo "usage: ./run_tests.sh [--sanitize]" >&2
  exit 2
}
kind=tests build=build
case "$#:${1:-}" in
  0:) ;;
  1:--sanitize) kind=sanitize build=build-asan ;;
  *) usage ;;
esac

# The tests run the plot tool and the campaign runner too, so they need the tools' packages and GNU parallel
# as well as GoogleTest.
scripts/ensure_packages.sh build tests tools campaign

scripts/configure.sh "$kind" "$build"
cmake --build "$build" -j 2
ctest --test-dir "$build" --output-on-failure -j 2

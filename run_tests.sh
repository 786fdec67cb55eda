#!/usr/bin/env bash
# Builds sfmrbatch with its unit tests and runs them. Installs the missing Debian packages first (as root;
# otherwise it prints the apt-get line to run and stops).
#   ./run_tests.sh             normal build (build/)
#   ./run_tests.sh --sanitize  AddressSanitizer + UndefinedBehaviorSanitizer build (build-asan/)
set -euo pipefail
cd "$(dirname "$0")"

# The tests run the plot tool and the campaign runner too, so they need the tools' packages and GNU parallel
# as well as GoogleTest.
scripts/ensure_packages.sh build tests tools campaign

build=build
flags=(-DSFMR_TESTS=ON)
if [ "${1:-}" = "--sanitize" ]; then
  build="build-asan"
  flags+=(-DSFMR_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug -DSFMR_BENCH=OFF)
fi
generator=()
[ -f "$build/CMakeCache.txt" ] || generator=(-G Ninja)

cmake -S . -B "$build" "${generator[@]}" "${flags[@]}"
cmake --build "$build" -j 2
ctest --test-dir "$build" --output-on-failure -j 2

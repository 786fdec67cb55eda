#!/usr/bin/env bash
# Builds sfmrbatch with its unit tests and runs them.
#   ./run_tests.sh             normal build (build/)
#   ./run_tests.sh --sanitize  AddressSanitizer + UndefinedBehaviorSanitizer build (build-asan/)
set -euo pipefail
cd "$(dirname "$0")"

build=build
flags=()
if [ "${1:-}" = "--sanitize" ]; then
  build=build-asan
  flags=(-DSFMR_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug -DSFMR_BENCH=OFF)
fi
generator=()
command -v ninja >/dev/null 2>&1 && generator=(-G Ninja)

cmake -S . -B "$build" "${generator[@]}" "${flags[@]}"
cmake --build "$build" -j 2
ctest --test-dir "$build" --output-on-failure -j 2

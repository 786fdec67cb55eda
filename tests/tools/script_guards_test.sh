#!/usr/bin/env bash
# The scripts' guard rails: a wrong argument is a usage error (status 2) with one line on stderr, found
# before the script does anything else.
#   tests/tools/script_guards_test.sh SOURCE_DIR
set -euo pipefail
cd "$1"

err=$(mktemp)
trap 'rm -f "$err"' EXIT
failures=0
# Each case: the status wanted, then the command.
check() {
  local want=$1 status=0
  shift
  "$@" >/dev/null 2>"$err" || status=$?
  if [ "$status" -ne "$want" ] || [ ! -s "$err" ]; then
    echo "FAIL: '$*' gave status $status, want $want with a message" >&2
    failures=$((failures + 1))
  fi
}
check 2 scripts/ensure_packages.sh nosuchgroup
check 2 scripts/ensure_packages.sh build nosuchgroup
check 2 scripts/ensure_packages.sh
check 2 ./run_tests.sh --sanitise
check 2 ./run_tests.sh --sanitize extra
check 2 scripts/configure.sh nosuchkind build-none
check 2 env SFMR_WERROR=yes scripts/configure.sh tests build-none
check 2 bench/storm_family.sh nosuchset
check 2 bench/storm_family.sh tune 3x
[ "$failures" -eq 0 ]

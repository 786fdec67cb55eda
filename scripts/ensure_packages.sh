#!/usr/bin/env bash
# Installs the Debian packages that a task needs, only those that are missing. The one list of what the
# project needs from the system; run_sample.sh, run_tests.sh and .ci/run all call it.
#   scripts/ensure_packages.sh GROUP...
# Groups: build (compiler, CMake, Ninja), tests (GoogleTest, Google Benchmark), tools (netCDF, xarray with
# its netCDF backend, gnuplot, GMT with its coastlines), fuzz (clang with libFuzzer), campaign (GNU parallel;
# Slurm and munge for the test that runs the campaign on a one-node cluster), lint (shellcheck, clang-format).
# An unknown group name: usage error, status 2, before anything is done.
# Nothing missing: silent, status 0. As root: one `apt-get update`, then `apt-get install` of the missing
# packages only. Otherwise: prints the one `apt-get install` line to run and exits with status 1.
set -euo pipefail

groups="build, tests, tools, fuzz, campaign, lint"
packages_of() {
  case "$1" in
    build) echo "g++ cmake ninja-build" ;;
    tests) echo "libgtest-dev libbenchmark-dev" ;;
    tools) echo "libnetcdf-dev netcdf-bin python3-xarray python3-netcdf4 gnuplot-nox gmt gmt-gshhg-low" ;;
    fuzz) echo "clang libclang-rt-14-dev" ;;
    campaign) echo "parallel slurm-wlm munge" ;;
    lint) echo "shellcheck clang-format" ;;
    *) return 1 ;;
  esac
}

if [ $# -eq 0 ]; then
  echo "usage: scripts/ensure_packages.sh GROUP... ($groups)" >&2
  exit 2
fi
# Every group name is checked before anything is looked up or installed.
for group in "$@"; do
  if ! packages_of "$group" >/dev/null; then
    echo "ensure_packages.sh: unknown group '$group' ($groups)" >&2
    exit 2
  fi
done

missing=()
for group in "$@"; do
  for package in $(packages_of "$group"); do
    case " ${missing[*]} " in *" $package "*) continue ;; esac
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$package")
    fi
  done
done
[ ${#missing[@]} -eq 0 ] && exit 0

if ! command -v apt-get >/dev/null 2>&1; then
  echo "ensure_packages.sh: missing packages ${missing[*]}, and this is not a Debian system with apt-get;" \
    "install their equivalents by hand" >&2
  exit 1
fi
if [ "$(id -u)" -ne 0 ]; then
  echo "Missing Debian packages. Install them as root with:" >&2
  echo "  apt-get install --no-install-recommends ${missing[*]}" >&2
  exit 1
fi
echo "Installing the missing Debian packages: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"

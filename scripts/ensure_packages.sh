#!/usr/bin/env bash
# Installs the Debian packages that a task needs, only those that are missing.
#   scripts/ensure_packages.sh GROUP...
# Groups: build (compiler, CMake, Ninja), tests (GoogleTest, Google Benchmark), tools (netCDF, gnuplot, GMT),
# fuzz (clang with libFuzzer), campaign (GNU parallel).
# As root it runs one `apt-get update` and installs what is missing; otherwise it prints the one
# `apt-get install` line to run and exits with status 1.
set -euo pipefail

packages_of() {
  case "$1" in
    build) echo "g++ cmake ninja-build" ;;
    tests) echo "libgtest-dev libbenchmark-dev" ;;
    tools) echo "libnetcdf-dev netcdf-bin python3-xarray gnuplot-nox gmt gmt-gshhg-low" ;;
    fuzz) echo "clang libclang-rt-14-dev" ;;
    campaign) echo "parallel" ;;
    *)
      echo "ensure_packages.sh: unknown group '$1' (build, tests, tools, fuzz, campaign)" >&2
      exit 2
      ;;
  esac
}

if [ $# -eq 0 ]; then
  echo "usage: scripts/ensure_packages.sh GROUP... (build, tests, tools, fuzz, campaign)" >&2
  exit 2
fi

missing=()
for group in "$@"; do
  for package in $(packages_of "$group"); do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
  done
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing Debian packages. Install them with:" >&2
  echo "  sudo apt-get install ${missing[*]}" >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"

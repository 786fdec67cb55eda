#!/usr/bin/env bash
# Reading speed of the HDOB archive reader on a 10-hour mission (1,200 observations): builds recon_read in
# build-bench/ and runs it in a scratch directory; status 1 when a read is not under LIMIT_S (0.3 s).
#   bench/recon_read.sh [LIMIT_S]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/configure.sh bench build-bench
cmake --build build-bench -j 2 --target recon_read >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
build-bench/tools/recon_read "$work/mission.hdob" "${1:-0.3}"

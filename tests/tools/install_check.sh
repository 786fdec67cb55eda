#!/usr/bin/env bash
# The installed tree on its own: installs the build directory BUILD into a scratch prefix and runs the demo
# from there, with a PATH of the system's directories only, so every program, script and data file must
# come from the prefix.
#   tests/tools/install_check.sh BUILD
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
env -i HOME="$prefix" PATH=/usr/bin:/bin "$prefix/bin/sfmrdemo" "$prefix" > "$prefix/demo.log"
run=("$prefix"/run-*)
for file in sample.OUT console.txt sample.timeseries.png sample.map.png; do
  if [ ! -s "${run[0]}/$file" ]; then
    echo "install_check: the installed demo made no $file" >&2
    cat "$prefix/demo.log" >&2
    exit 1
  fi
done
# The netCDF file too, when the converter was built (it needs the netCDF library).
if [ -x "$prefix/bin/sfmr2nc" ] && [ ! -s "${run[0]}/sample.nc" ]; then
  echo "install_check: the installed demo made no sample.nc" >&2
  exit 1
fi
grep -q '^Seconds processed' "$prefix/demo.log"
grep -q 'Against the truth' "$prefix/demo.log"
echo "install_check: the demo ran from $prefix"

#!/usr/bin/env bash
# ncdump -hs of the converted test flight shows the attributes of a CF trajectory file and its compression. Skipped (status 77) when
# ncdump is not installed.
#   ncdump_check.sh FILE.nc
set -euo pipefail
if ! command -v ncdump > /dev/null 2>&1; then
  echo "SKIPPED: ncdump is not installed (Debian: netcdf-bin)"
  exit 77
fi
header=$(ncdump -hs "$1")
status=0
while IFS= read -r want; do
  if ! grep -qF -- "$want" <<< "$header"; then
    echo "ncdump -hs $1 lacks: $want"
    status=1
  fi
done << 'LINES'
:Conventions = "CF-1.8, ACDD-1.3" ;
:featureType = "trajectory" ;
trajectory:cf_role = "trajectory_id" ;
time:units = "seconds since 2026-12-31 00:00:00" ;
time:axis = "T" ;
height:positive = "up" ;
wind_speed:_FillValue = 9.96921e+36f ;
wind_speed:coordinates = "time lat lon wind_height" ;
wind_speed:_Shuffle = "true" ;
wind_speed:_DeflateLevel = 4 ;
retrieval_status:flag_meanings = 
:instrument_serial_number = 17 ;
:time_coverage_start = "2026-12-31T23:45:00Z" ;
LINES
exit "$status"

#!/usr/bin/env bash
# ncdump -hs of the converted test flight (or, with "hdob", of the converted HDOB archive) shows the attributes
# of a CF trajectory file and its compression. Skipped (status 77) when ncdump is not installed.
#   ncdump_check.sh FILE.nc [hdob]
set -euo pipefail
if ! command -v ncdump > /dev/null 2>&1; then
  echo "SKIPPED: ncdump is not installed (Debian: netcdf-bin)"
  exit 77
fi
header=$(ncdump -hs "$1")
status=0
check() {
  while IFS= read -r want; do
    if ! grep -qF -- "$want" <<< "$header"; then
      echo "ncdump -hs $1 lacks: $want"
      status=1
    fi
  done
}
if [[ ${2:-} == hdob ]]; then
  check "$1" << 'LINES'
:Conventions = "CF-1.8, ACDD-1.3" ;
:featureType = "trajectory" ;
trajectory:cf_role = "trajectory_id" ;
time:units = "seconds since 2026-08-31 00:00:00" ;
wind_speed:coordinates = "time lat lon wind_height" ;
wind_speed:_DeflateLevel = 4 ;
wind_speed:comment = "The radiometer\'s (SFMR) peak 10-s surface wind speed over the 30 s
extrapolated_surface_pressure:standard_name = "air_pressure_at_mean_sea_level" ;
flight_level_wind_from_direction:standard_name = "wind_from_direction" ;
meteorological_quality_flag:flag_values = 0, 1, 2, 3, 4, 5, 6, 9 ;
position_quality_flag:flag_meanings = "fine position_suspect
:platform = "NOAA2" ;
:mission = "0609A" ;
:storm_name = "IDALIA" ;
:time_coverage_start = "2026-08-31T23:58:30Z" ;
:time_coverage_end = "2026-09-01T00:01:00Z" ;
LINES
  exit "$status"
fi
check "$1" << 'LINES'
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

// EOL netCDF QC files of one sounding (the dropsonde processing's netCDF output beside the text D-files):
// reader and writer on the netCDF layer.
//
// The samples run along the dimension of the variable `time` (seconds since the launch: its units are
// "seconds since YYYY-MM-DD hh:mm:ss[.f][ UTC]"; a scalar `launch_time` in seconds since a date, when
// present, is the release time instead of the units' origin). The other variables are found by their
// standard_name and units, not by their short names, which differ between versions: eastward_wind and
// northward_wind or wind_speed and wind_from_direction (m s-1, degree), air_pressure (hPa, mb or Pa),
// air_temperature and dew_point_temperature (degC or K), latitude (degrees_north), longitude
// (degrees_east); the altitudes by standard name (geopotential_height, altitude) or, where they carry
// none, as `alt` (geopotential) and `gpsalt` (GPS), in m. _FillValue and -999 are missing. The record is
// the text reader's (sonde/eol.hpp): a level per sample, its height the geopotential altitude else the GPS
// one, the splash the last sample from the launch on with a position; the sonde id, mission and aircraft
// from the global attributes sonde_id, project_name and platform, the remark from comment.
#pragma once

#include <string>
#include <string_view>

#include "sonde/sonde.hpp"

namespace sfmr::archive {

// The sonde of the EOL netCDF file `path`. Throws sonde::SondeError "what is wrong" (a variable missing or
// of other units, a file the library cannot read).
sonde::Sonde read_eol_nc(const std::string& path);

// Writes `sonde` as an EOL netCDF file at `path` (the caller's temporary name): its levels with a time
// after the release as samples, the splash point on the last. Throws nc::Error.
void write_eol_nc(const std::string& path, const sonde::Sonde& sonde);

}  // namespace sfmr::archive

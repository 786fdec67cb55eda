#include "archive/nc_hdob.hpp"

#include <netcdf.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <set>
#include <span>
#include <stdexcept>
#include <tuple>

#include "archive/nc_file.hpp"
#include "core/constants.hpp"
#include "recon/message_text.hpp"

namespace sfmr::archive {

namespace {

using recon::HdobArchive;
using recon::HdobObservation;

constexpr int kDeflateLevel = 4;
constexpr float kFill = NC_FILL_FLOAT;
constexpr int kIntFill = NC_FILL_INT;
constexpr const char* kCoords = "time lat lon";
constexpr const char* kWindCoords = "time lat lon wind_height";

// "AF304 3005A": the aircraft and mission identifier of a message, the trajectory's identifier.
std::string mission_of(const recon::HdobMessage& m) {
  return m.aircraft + " " + m.mission;
}

// A float series along the observations, in SI units or those of the flight files; NaN for _FillValue.
struct Series {
  const char* name;
  const char* standard_name;
  const char* long_name;
  const char* units;
  const char* coordinates;
  const char* comment;
  std::function<double(const HdobObservation&)> value;
};

// The radiometer's values of a line cover the 30 s from 15 s after the previous line's time to 15 s after
// this one's.
constexpr const char* kPeakComment =
    "The radiometer's (SFMR) peak 10-s surface wind speed over the 30 s the line covers (from 15 s after "
    "the previous line's time to 15 s after this one's), as the HDOB message gives it: a peak, not a "
    "second-by-second retrieval. _FillValue where the message gives none or flags it suspect.";
constexpr const char* kRainComment =
    "The radiometer's (SFMR) rain rate of the 10 s of its peak surface wind over the 30 s the line covers, "
    "as the HDOB message gives it, not a second-by-second retrieval. _FillValue where the message gives "
    "none (also 999 in older messages) or flags it suspect.";
constexpr const char* kFillComment = "_FillValue where the message gives none or flags it suspect.";

std::vector<Series> hdob_series() {
  using O = const HdobObservation&;
  return {
      {"lat", "latitude", "latitude", "degrees_north", nullptr,
       "Whole minutes as transmitted; _FillValue where flagged suspect.", [](O o) { return o.lat; }},
      {"lon", "longitude", "longitude", "degrees_east", nullptr,
       "Whole minutes as transmitted; _FillValue where flagged suspect.", [](O o) { return o.lon; }},
      {"wind_speed", "wind_speed", "radiometer's peak 10-s surface wind speed at 10 m above the sea", "m s-1",
       kWindCoords, kPeakComment, [](O o) { return o.sfmr_wind_ms; }},
      {"rain_rate", "rainfall_rate", "radiometer's rain rate of the 10 s of its peak surface wind", "mm h-1",
       kCoords, kRainComment, [](O o) { return o.rain_rate_mmh; }},
      {"air_pressure", "air_pressure", "static air pressure at flight level", "Pa", kCoords, kFillComment,
       [](O o) { return o.static_pressure_pa; }},
      {"geopotential_height", "geopotential_height", "geopotential height of the aircraft", "m", kCoords,
       kFillComment, [](O o) { return o.geopotential_height_m; }},
      {"extrapolated_surface_pressure", "air_pressure_at_mean_sea_level",
       "surface pressure extrapolated from flight level", "Pa", kCoords,
       "Given at or below the 550-hPa flight level; above it the message sends a D-value (d_value) and this "
       "holds _FillValue, as where the message gives none or flags the pressure suspect.",
       [](O o) { return o.surface_pressure_pa; }},
      {"air_temperature", "air_temperature", "ambient air temperature at flight level", "degree_Celsius",
       kCoords, kFillComment, [](O o) { return o.air_temperature_c; }},
      {"dew_point_temperature", "dew_point_temperature", "dew-point temperature at flight level",
       "degree_Celsius", kCoords, kFillComment, [](O o) { return o.dew_point_c; }},
      {"flight_level_wind_speed", "wind_speed", "wind speed at flight level, 30-s mean", "m s-1", kCoords,
       kFillComment, [](O o) { return o.wind_speed_ms; }},
      {"flight_level_wind_from_direction", "wind_from_direction",
       "direction the flight-level wind blows from, 30-s mean", "degree", kCoords, kFillComment,
       [](O o) { return o.wind_from_deg; }},
      {"flight_level_peak_wind_speed", "wind_speed_of_gust",
       "peak 10-s wind speed at flight level over the 30 s", "m s-1", kCoords, kFillComment,
       [](O o) { return o.peak_wind_ms; }},
  };
}

// An integer series along the observations (kIntFill for _FillValue), with its own attributes.
struct IntVar {
  int id = -1;
  std::function<int(const HdobObservation&)> value;
};

int define(nc::File& f, const char* name, nc_type type, std::initializer_list<int> dims,
           const char* standard_name, const char* long_name, const char* units) {
  const int var = f.var(name, type, dims, kDeflateLevel);
  if (type == NC_FLOAT) f.fill(var);
  if (type == NC_INT) f.ints(var, "_FillValue", std::span<const int>(&kIntFill, 1));
  if (standard_name != nullptr) f.text(var, "standard_name", standard_name);
  f.text(var, "long_name", long_name);
  if (units != nullptr) f.text(var, "units", units);
  return var;
}

int raw_or_fill(std::int32_t v) {
  return v == recon::kMissing ? kIntFill : static_cast<int>(v);
}

// The two quality flag digits and the D-value, as integer variables.
std::vector<IntVar> define_ints(nc::File& nc, int time_dim, const HdobArchive& a) {
  std::vector<IntVar> vars;
  const int position = define(nc, "position_quality_flag", NC_INT, {time_dim}, "quality_flag",
                              "quality flag of position, pressure and height (first digit of FF)", nullptr);
  const int positions[] = {0, 1, 2, 3};
  nc.ints(position, "flag_values", positions);
  nc.text(position, "flag_meanings",
          "fine position_suspect pressure_and_height_suspect position_pressure_and_height_suspect");
  vars.push_back({position, [](const HdobObservation& o) { return raw_or_fill(o.raw.flag_position); }});
  const int met = define(nc, "meteorological_quality_flag", NC_INT, {time_dim}, "quality_flag",
                         "quality flag of the meteorological values (second digit of FF)", nullptr);
  const int mets[] = {0, 1, 2, 3, 4, 5, 6, 9};
  nc.ints(met, "flag_values", mets);
  nc.text(met, "flag_meanings",
          "fine temperature_suspect flight_level_wind_suspect sfmr_suspect "
          "temperature_and_flight_level_wind_suspect temperature_and_sfmr_suspect "
          "flight_level_wind_and_sfmr_suspect all_suspect");
  vars.push_back({met, [](const HdobObservation& o) { return raw_or_fill(o.raw.flag_met); }});
  for (const int id : {position, met}) {
    nc.text(id, "coordinates", kCoords);
    nc.text(id, "comment",
            "A value flagged suspect is left out of this file (_FillValue); the flag keeps what the message "
            "said. temperature: air and dew-point temperature; sfmr: the radiometer's wind and rain rate.");
  }
  const int d_value = define(nc, "d_value", NC_INT, {time_dim}, nullptr,
                             "field XXXX above the 550-hPa flight level (D-value), as transmitted", "1");
  nc.text(d_value, "coordinates", kCoords);
  nc.text(d_value, "comment",
          "The digits of the message's extrapolated-pressure field where the aircraft flies above the "
          "550-hPa level, where they are a D-value whose coding is not read here; _FillValue elsewhere.");
  vars.push_back({d_value, [](const HdobObservation& o) {
                    const bool above =
                        std::isfinite(o.static_pressure_pa) && std::isnan(o.surface_pressure_pa);
                    return above ? raw_or_fill(o.raw.extrap) : kIntFill;
                  }});
  const int number = define(nc, "hdob_message_number", NC_INT, {time_dim}, nullptr,
                            "number of the HDOB message that carried the observation", "1");
  nc.text(number, "coordinates", kCoords);
  vars.push_back({number, [&a](const HdobObservation& o) { return a.messages[o.message].number; }});
  return vars;
}

// The distinct values of `field` over the messages, joined by ", ".
std::string distinct(const HdobArchive& a,
                     const std::function<std::string(const recon::HdobMessage&)>& field) {
  std::set<std::string> values;
  for (const auto& m : a.messages) values.insert(field(m));
  std::string joined;
  for (const std::string& v : values) joined += (joined.empty() ? "" : ", ") + v;
  return joined;
}

void float_attribute(nc::File& nc, const char* name, double value) {
  const float v = static_cast<float>(value);
  nc.floats(NC_GLOBAL, name, std::span<const float>(&v, 1));
}

void geospatial(nc::File& nc, const HdobArchive& a) {
  double lat_lo = INFINITY, lat_hi = -INFINITY, lon_lo = INFINITY, lon_hi = -INFINITY;
  for (const HdobObservation& o : a.observations) {
    if (std::isfinite(o.lat))
      std::tie(lat_lo, lat_hi) = std::pair(std::min(lat_lo, o.lat), std::max(lat_hi, o.lat));
    if (std::isfinite(o.lon))
      std::tie(lon_lo, lon_hi) = std::pair(std::min(lon_lo, o.lon), std::max(lon_hi, o.lon));
  }
  if (lat_lo <= lat_hi) {
    float_attribute(nc, "geospatial_lat_min", lat_lo);
    float_attribute(nc, "geospatial_lat_max", lat_hi);
    nc.text(NC_GLOBAL, "geospatial_lat_units", "degrees_north");
  }
  if (lon_lo <= lon_hi) {
    float_attribute(nc, "geospatial_lon_min", lon_lo);
    float_attribute(nc, "geospatial_lon_max", lon_hi);
    nc.text(NC_GLOBAL, "geospatial_lon_units", "degrees_east");
  }
}

// The file's ACDD and CF global attributes, the mission and storm, and what the reading found.
void global_attributes(nc::File& nc, const HdobArchive& a, const HdobFileMetadata& meta) {
  const int g = NC_GLOBAL;
  const recon::HdobMessage& first = a.messages.front();
  nc.text(g, "Conventions", "CF-1.8, ACDD-1.3");
  nc.text(g, "featureType", "trajectory");
  nc.text(g, "cdm_data_type", "Trajectory");
  nc.text(g, "title",
          "Reconnaissance high-density observations (HDOB), mission " + mission_of(first) + ", " +
              first.storm_name);
  nc.text(g, "summary",
          "The high-density observations (HDOB) a reconnaissance aircraft transmitted every 30 s: position, "
          "flight-level pressure, height, temperature, dew point and wind, and the peak 10-s surface wind "
          "and rain rate of its stepped-frequency microwave radiometer (SFMR), with the quality flags.");
  nc.text(g, "source", "HDOB messages (URNT15/URPN15) of a reconnaissance mission");
  nc.text(g, "platform", first.aircraft);
  nc.text(g, "mission", first.mission);
  nc.text(g, "storm_id", distinct(a, [](const recon::HdobMessage& m) { return m.storm_id; }));
  nc.text(g, "storm_name", distinct(a, [](const recon::HdobMessage& m) { return m.storm_name; }));
  std::string files;
  for (const std::string& f : meta.files) files += (files.empty() ? "" : " ") + f;
  nc.text(g, "hdob_files", files);
  const int messages = static_cast<int>(a.messages.size());
  const int faulty = static_cast<int>(a.faults.size());
  nc.ints(g, "hdob_messages", std::span<const int>(&messages, 1));
  nc.ints(g, "hdob_faulty_messages_left_out", std::span<const int>(&faulty, 1));
  const int dropped = a.counts.fault_peak + a.counts.fault_zero_position;
  nc.ints(g, "hdob_transmission_faults_dropped", std::span<const int>(&dropped, 1));
  nc.text(g, "history", meta.history);
  nc.text(g, "date_created", meta.date_created);
  nc.text(g, "time_coverage_start", recon::iso_time(a.observations.front().time));
  nc.text(g, "time_coverage_end", recon::iso_time(a.observations.back().time));
  geospatial(nc, a);
  nc.text(g, "software_name", "sfmr2nc");
  nc.text(g, "software_version", meta.software_version);
}

}  // namespace

HdobArchive merge_hdob(const std::vector<HdobArchive>& parts) {
  HdobArchive all;
  for (const HdobArchive& part : parts) {
    const std::size_t offset = all.messages.size();
    all.messages.insert(all.messages.end(), part.messages.begin(), part.messages.end());
    for (HdobObservation o : part.observations) {
      o.message += offset;
      all.observations.push_back(o);
    }
    all.faults.insert(all.faults.end(), part.faults.begin(), part.faults.end());
    recon::HdobCounts& c = all.counts;
    const recon::HdobCounts& p = part.counts;
    c.repeated_messages += p.repeated_messages;
    c.missing_messages += p.missing_messages;
    c.duplicate_observations += p.duplicate_observations;
    c.suspect_position += p.suspect_position;
    c.suspect_pressure += p.suspect_pressure;
    c.suspect_temperature += p.suspect_temperature;
    c.suspect_wind += p.suspect_wind;
    c.suspect_sfmr += p.suspect_sfmr;
    c.fault_peak += p.fault_peak;
    c.fault_zero_position += p.fault_zero_position;
    c.other_storm_messages += p.other_storm_messages;
  }
  // Stable: of one mission's observation carried by several files, the first file's comes first and stays.
  auto mission = [&all](const HdobObservation& o) { return mission_of(all.messages[o.message]); };
  std::stable_sort(all.observations.begin(), all.observations.end(),
                   [](const HdobObservation& x, const HdobObservation& y) { return x.time < y.time; });
  std::vector<HdobObservation> once;
  for (const HdobObservation& o : all.observations) {
    // The observations kept at this time are the last ones (sorted by time).
    bool seen = false;
    for (auto kept = once.rbegin(); kept != once.rend() && kept->time == o.time && !seen; ++kept)
      seen = mission(*kept) == mission(o);
    if (seen) {
      ++all.counts.duplicate_observations;
    } else {
      once.push_back(o);
    }
  }
  all.observations = std::move(once);
  return all;
}

std::string several_missions(const HdobArchive& archive) {
  std::set<std::string> missions;
  for (const HdobObservation& o : archive.observations)
    missions.insert(mission_of(archive.messages[o.message]));
  if (missions.size() <= 1) return {};
  std::string list;
  for (const std::string& m : missions) list += (list.empty() ? "" : ", ") + m;
  return "observations of several missions (" + list + "): convert one mission at a time";
}

recon::HdobArchive read_hdob_files(const std::vector<std::string>& files, const std::string& storm) {
  std::vector<HdobArchive> parts;
  std::string names;
  for (const std::string& file : files) {
    parts.push_back(recon::read_hdob(recon::read_message_file(file), file, storm));
    names += (names.empty() ? "" : " ") + file;
  }
  HdobArchive all = merge_hdob(parts);
  std::set<std::string> storms;
  for (const recon::HdobMessage& m : all.messages) storms.insert(m.storm_id + " " + m.storm_name);
  if (storms.size() > 1) {
    std::string list;
    for (const std::string& s : storms) list += (list.empty() ? "" : ", ") + s;
    throw std::runtime_error("missions of several storms (" + list + ") in " + names +
                             "; choose one with --storm");
  }
  if (std::string e = several_missions(all); !e.empty()) throw std::runtime_error(names + ": " + e);
  return all;
}

std::vector<std::string> hdob_report(const HdobArchive& a) {
  std::vector<std::string> lines;
  for (const std::string& f : a.faults) lines.push_back(f + " (message left out)");
  const recon::HdobCounts& c = a.counts;
  const std::pair<int, const char*> counts[] = {
      {static_cast<int>(a.faults.size()), "faulty messages left out"},
      {c.repeated_messages, "repeated messages read once"},
      {c.missing_messages, "missing message numbers"},
      {c.duplicate_observations, "repeated observations read once"},
      {c.fault_peak, "observations dropped for a peak above 300 kt"},
      {c.fault_zero_position, "observations dropped for a 0/0 position"},
      {c.suspect_position, "observations with the position flagged suspect"},
      {c.suspect_pressure, "observations with the pressure and height flagged suspect"},
      {c.suspect_temperature, "observations with the temperatures flagged suspect"},
      {c.suspect_wind, "observations with the flight-level wind flagged suspect"},
      {c.suspect_sfmr, "observations with the radiometer values flagged suspect"},
      {c.other_storm_messages, "messages of other storms skipped"}};
  std::string summary;
  for (const auto& [n, what] : counts)
    if (n > 0) summary += (summary.empty() ? "" : ", ") + std::to_string(n) + " " + what;
  if (!summary.empty()) lines.push_back(summary);
  return lines;
}

std::string write_hdob_nc(const std::string& path, const HdobArchive& a, const HdobFileMetadata& meta) {
  try {
    const std::size_t n = a.observations.size();
    nc::File nc = nc::File::create(path);
    const int time_dim = nc.dim("time", n);
    const int trajectory = define(nc, "trajectory", NC_STRING, {}, nullptr, "aircraft and mission", nullptr);
    nc.text(trajectory, "cf_role", "trajectory_id");
    const double day0 = std::floor(a.observations.front().time / kSecondsPerDay) * kSecondsPerDay;
    const std::string time_units = "seconds since " + recon::iso_time(day0).substr(0, 10) + " 00:00:00";
    const int time = define(nc, "time", NC_DOUBLE, {time_dim}, "time", "time of the observation line, UTC",
                            time_units.c_str());
    nc.text(time, "calendar", "standard");
    nc.text(time, "axis", "T");
    const int wind_height = define(nc, "wind_height", NC_FLOAT, {}, "height",
                                   "height above the sea surface of the radiometer's wind speed", "m");
    nc.text(wind_height, "positive", "up");
    const std::vector<Series> series = hdob_series();
    std::vector<int> ids;
    for (const Series& s : series) {
      const int id = define(nc, s.name, NC_FLOAT, {time_dim}, s.standard_name, s.long_name, s.units);
      if (s.coordinates != nullptr) nc.text(id, "coordinates", s.coordinates);
      nc.text(id, "comment", s.comment);
      ids.push_back(id);
    }
    nc.text(ids[0], "axis", "Y");
    nc.text(ids[1], "axis", "X");
    const std::vector<IntVar> ints = define_ints(nc, time_dim, a);
    const std::string quality = "position_quality_flag meteorological_quality_flag";
    for (std::size_t k = 2; k < ids.size(); ++k) nc.text(ids[k], "ancillary_variables", quality);
    global_attributes(nc, a, meta);
    nc.end_define();

    const std::string name = mission_of(a.messages.front());
    const char* name_text = name.c_str();
    nc.put(trajectory, &name_text, "trajectory");
    std::vector<double> times(n);
    for (std::size_t i = 0; i < n; ++i) times[i] = a.observations[i].time - day0;
    nc.put(time, times.data(), "time");
    const float ten = 10.0f;  // m: the radiometer's wind speed is the wind at 10 m
    nc.put(wind_height, &ten, "wind_height");
    std::vector<float> values(n);
    for (std::size_t k = 0; k < series.size(); ++k) {
      for (std::size_t i = 0; i < n; ++i) {
        const double v = series[k].value(a.observations[i]);
        values[i] = std::isfinite(v) ? static_cast<float>(v) : kFill;
      }
      nc.put(ids[k], values.data(), series[k].name);
    }
    std::vector<int> digits(n);
    for (const IntVar& v : ints) {
      for (std::size_t i = 0; i < n; ++i) digits[i] = v.value(a.observations[i]);
      nc.put(v.id, digits.data(), "flags");
    }
    nc.close();
    return {};
  } catch (const std::runtime_error& failure) {
    return failure.what();
  }
}

}  // namespace sfmr::archive

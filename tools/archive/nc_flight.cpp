#include "archive/nc_flight.hpp"

#include <netcdf.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <span>
#include <stdexcept>

#include "archive/nc_clock.hpp"
#include "archive/nc_file.hpp"
#include "common/time_text.hpp"
#include "core/constants.hpp"
#include "core/text.hpp"
#include "uncertainty/uncertainty.hpp"

namespace sfmr::archive {

namespace {

using flight::OutSecond;

constexpr int kDeflateLevel = 4;
constexpr int kErrorDigits = 3;        // significant digits kept of the standard errors and residuals
constexpr int kErrorDeflateLevel = 1;  // their deflate level
constexpr float kFill = NC_FILL_FLOAT;

// Defines a variable with its descriptive attributes; a variable along `time` is compressed (deflate with
// shuffle), a float one gets _FillValue.
int define(nc::File& f, const char* name, nc_type type, std::initializer_list<int> dims,
           const char* standard_name, const char* long_name, const char* units) {
  const int var = f.var(name, type, dims, kDeflateLevel);
  if (type == NC_FLOAT) f.fill(var);
  if (standard_name != nullptr) f.text(var, "standard_name", standard_name);
  f.text(var, "long_name", long_name);
  f.text(var, "units", units);
  return var;
}

// "YYYY-MM-DDTHH:MM:SSZ" of `elapsed` seconds after 00:00:00 of day number `day`.
std::string iso_time(std::int32_t day, std::int64_t elapsed) {
  const CalendarDate d = date_of_day(day + static_cast<std::int32_t>(elapsed / kSecondsPerDay));
  const std::int64_t sec = elapsed % kSecondsPerDay;
  return iso_date(d) + "T" + tool::clock_text(sec) + "Z";
}

// Flag meanings of a channel set ("channel_0_WORD channel_1_WORD ...").
std::string channel_meanings(const std::string& word) {
  std::string m;
  for (int k = 0; k < kChannels; ++k) m += "channel_" + std::to_string(k) + "_" + word + " ";
  return m;
}

void flag_masks(nc::File& f, int var, int bits) {
  std::vector<std::int16_t> masks;
  for (int b = 0; b < bits; ++b) masks.push_back(static_cast<std::int16_t>(1 << b));
  f.shorts(var, "flag_masks", masks);
}

// A float series along time: the value of each second, NaN for fill.
struct Series {
  const char* name;
  const char* standard_name;
  const char* long_name;
  const char* units;
  const char* coordinates;
  std::function<float(std::size_t)> value;
};

// A value as stored: NaN becomes _FillValue.
float stored(float v) {
  return std::isnan(v) ? kFill : v;
}

// The variables of the standard errors.
struct Uncertainty {
  int ws_se = -1, rr_se = -1, correlation = -1, residual = -1;
};

Uncertainty define_uncertainty(nc::File& nc, int time_dim, int channel_dim, int wind_speed, int rain_rate,
                               const char* coords, const char* wind_coords) {
  Uncertainty u;
  const char* model =
      "The error covariance of the channels' brightness temperatures holds the instrument noise, estimated "
      "as the median of the squared fit residuals (column SFQF per degree of freedom) of the seconds within "
      "30 s, and the timing error of measurements 2.5 to 5 s older than their second, from the rate at which "
      "the retrieval changes along the track. ";
  u.ws_se = define(nc, "wind_speed_standard_error", NC_FLOAT, {time_dim}, "wind_speed standard_error",
                   "standard error of the retrieved surface wind speed", "m s-1");
  nc.text(u.ws_se, "coordinates", wind_coords);
  nc.text(u.ws_se, "comment",
          std::string(model) +
              "It is propagated to the rain-corrected wind speed through the forward model linearised at the "
              "solution for the second's altitude, SST, air temperature and the channels used, then weighed, "
              "through its correlation with the rain rate's error, against the flight's own distribution of "
              "rain (see rain_rate_standard_error); _FillValue where no retrieval was made.");
  u.rr_se = define(nc, "rain_rate_standard_error", NC_FLOAT, {time_dim}, "rainfall_rate standard_error",
                   "standard error of the retrieved rain rate", "mm h-1");
  nc.text(u.rr_se, "coordinates", coords);
  nc.text(
      u.rr_se, "comment",
      std::string(model) +
          "It is propagated to the rain rate through the forward model linearised at the solution, its "
          "rain sensitivity taken as the secant over the interval of one standard error (cut at 0 mm/h, "
          "near which the model is far from linear), and reported as the error given the retrieval: the root "
          "mean square of true minus retrieved rain over the posterior with the flight's own distribution "
          "of rain (the histogram of the retrieved rain averaged over 30 s on either side) as the prior, "
          "and for a rain rate of 0 the likelihood of a retrieval below the solver's 0.4 mm/h; _FillValue "
          "where no retrieval was made.");
  u.correlation = define(nc, "wind_rain_error_correlation", NC_FLOAT, {time_dim}, nullptr,
                         "correlation of the errors of the retrieved wind speed and rain rate", "1");
  nc.text(u.correlation, "coordinates", coords);
  nc.text(u.correlation, "comment",
          "The off-diagonal element of the same error covariance of wind speed and rain rate, divided by "
          "the product of the two standard errors. Wind and rain trade off on the six channels, so it is "
          "mostly negative; _FillValue where no retrieval was made.");
  u.residual = define(nc, "tb_residual", NC_FLOAT, {time_dim, channel_dim}, nullptr,
                      "measured minus modelled brightness temperature at the retrieved solution", "K");
  nc.text(u.residual, "coordinates", "time lat lon height frequency");
  nc.text(u.residual, "comment",
          "The measured brightness temperature minus the forward model's at the printed wind speed (its rain "
          "correction undone) and rain rate, for the second's altitude, SST and air temperature. _FillValue "
          "for a channel not used in the solve and where no retrieval was made.");
  // Three significant digits are more than the estimates hold: the rest of each value's mantissa is zeroed
  // (bit grooming), and a light deflate suffices for what remains.
  for (const int var : {u.ws_se, u.rr_se, u.correlation, u.residual}) {
    nc::check(nc_def_var_quantize(nc.id(), var, NC_QUANTIZE_BITGROOM, kErrorDigits), "quantize");
    nc::check(nc_def_var_deflate(nc.id(), var, 1, 1, kErrorDeflateLevel), "deflate");
  }
  const std::string wind_ancillary = "wind_speed_standard_error wind_rain_error_correlation";
  const std::string rain_ancillary = "rain_rate_standard_error wind_rain_error_correlation";
  nc.text(wind_speed, "ancillary_variables", wind_ancillary);
  nc.text(rain_rate, "ancillary_variables", rain_ancillary);
  return u;
}

void write_uncertainty(nc::File& nc, const Uncertainty& u, const std::vector<OutSecond>& seconds,
                       const FlightMetadata& meta) {
  uncertainty::FlightInputs inputs;
  if (meta.have_setup && meta.setup.have_freq) inputs.freq = meta.setup.freq;
  inputs.serial = meta.serial;
  const std::vector<uncertainty::SecondError> errors = uncertainty::estimate_errors(seconds, inputs);
  const std::size_t n = seconds.size();
  std::vector<float> values(n);
  const std::pair<int, float uncertainty::SecondError::*> scalars[] = {
      {u.ws_se, &uncertainty::SecondError::ws_se},
      {u.rr_se, &uncertainty::SecondError::rr_se},
      {u.correlation, &uncertainty::SecondError::correlation}};
  for (const auto& [var, member] : scalars) {
    for (std::size_t i = 0; i < n; ++i) values[i] = stored(errors[i].*member);
    nc.put(var, values.data(), "standard errors");
  }
  values.resize(n * kChannels);
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t k = 0; k < kChannels; ++k) values[i * kChannels + k] = stored(errors[i].tb_residual[k]);
  nc.put(u.residual, values.data(), "tb_residual");
}

// The dimensions of a flight file.
struct Dims {
  int time = -1, channel = -1, text = -1;
};

Dims define_dims(nc::File& nc, std::size_t n) {
  return {.time = nc.dim("time", n),
          .channel = nc.dim("channel", kChannels),
          .text = nc.dim("status_length", flight::kStatusWidth)};
}

constexpr const char* kCoords = "time lat lon height";
constexpr const char* kWindCoords = "time lat lon wind_height";

// The float series along the flight, in the order of the file: the aircraft's and radiometer's, then the
// retrieved solution (wind, rain, quality) and the onboard one (the last six).
std::vector<Series> flight_series(const std::vector<OutSecond>& seconds) {
  const std::size_t first_onboard = first_onboard_second(seconds);
  auto retrieved = [&seconds](std::size_t i, float v) {
    return seconds[i].Err.retrieved() ? v : std::nanf("");
  };
  auto onboard = [first_onboard](std::size_t i, float v) { return i >= first_onboard ? v : std::nanf(""); };
  const char* coords = kCoords;
  const char* wind_coords = kWindCoords;
  std::vector<Series> series = {
      {"lat", "latitude", "latitude", "degrees_north", nullptr,
       [&](std::size_t i) { return seconds[i].Lat; }},
      {"lon", "longitude", "longitude", "degrees_east", nullptr,
       [&](std::size_t i) { return seconds[i].Lon; }},
      {"height", "height", "radar altitude: height of the aircraft above the surface", "m", nullptr,
       [&](std::size_t i) { return seconds[i].RAlt; }},
      {"air_temperature", "air_temperature", "ambient air temperature at flight level", "degree_Celsius",
       coords, [&](std::size_t i) { return seconds[i].TAmb; }},
      {"flight_level_wind_speed", "wind_speed", "wind speed at flight level", "m s-1", coords,
       [&](std::size_t i) { return seconds[i].AcftWS; }},
      {"roll", "platform_roll", "aircraft roll angle", "degree", coords,
       [&](std::size_t i) { return seconds[i].Roll; }},
      {"pitch", "platform_pitch", "aircraft pitch angle", "degree", coords,
       [&](std::size_t i) { return seconds[i].Pitch; }},
      {"sst", "sea_surface_temperature", "sea-surface temperature used by the retrieval", "degree_Celsius",
       coords, [&](std::size_t i) { return seconds[i].SST; }},
  };
  static const char* const kThermal[][2] = {{"th2", "radiometer internal temperature Th2"},
                                            {"th3", "radiometer internal temperature Th3"},
                                            {"th4", "radiometer internal temperature Th4"},
                                            {"th5", "radiometer internal temperature Th5"},
                                            {"th6", "radiometer internal temperature Th6"}};
  for (std::size_t t = 0; t < flight::kThermalColumns; ++t)
    series.push_back({kThermal[t][0], nullptr, kThermal[t][1], "degree_Celsius", coords,
                      [&seconds, t](std::size_t i) { return seconds[i].Th[t]; }});
  const std::vector<Series> solutions = {
      {"wind_speed", "wind_speed", "retrieved surface wind speed at 10 m above the sea", "m s-1", wind_coords,
       [&seconds, retrieved](std::size_t i) { return retrieved(i, seconds[i].SFWS); }},
      {"rain_rate", "rainfall_rate", "retrieved rain rate", "mm h-1", coords,
       [&seconds, retrieved](std::size_t i) { return retrieved(i, seconds[i].SFRR); }},
      {"quality", nullptr, "rms misfit of the retrieval's brightness temperatures", "K", coords,
       [&seconds, retrieved](std::size_t i) { return retrieved(i, seconds[i].SFQF); }},
      {"onboard_wind_speed", "wind_speed", "onboard processor's surface wind speed at 10 m above the sea",
       "m s-1", wind_coords, [&seconds, onboard](std::size_t i) { return onboard(i, seconds[i].PSWS); }},
      {"onboard_rain_rate", "rainfall_rate", "onboard processor's rain rate", "mm h-1", coords,
       [&seconds, onboard](std::size_t i) { return onboard(i, seconds[i].PSRR); }},
      {"onboard_quality", nullptr, "onboard processor's quality figure", "1", coords,
       [&seconds, onboard](std::size_t i) { return onboard(i, seconds[i].PSQF); }},
  };
  series.insert(series.end(), solutions.begin(), solutions.end());
  return series;
}

// The variables of a flight file, as defined.
struct FlightVars {
  int trajectory = -1, time = -1, wind_height = -1, channel = -1, frequency = -1, tb = -1;
  ClockVariables clock;
  std::vector<int> series;
  Uncertainty uncertainty;
  int retrieval_status = -1, onboard_status = -1, retrieval_text = -1, onboard_text = -1;
};

// Time, the flight's identity, the height of the winds and the channels.
void define_coordinates(nc::File& nc, const Dims& dims, const FlightMetadata& meta, FlightVars& v) {
  v.trajectory = define(nc, "trajectory", NC_STRING, {}, nullptr, "flight name", "1");
  nc.text(v.trajectory, "cf_role", "trajectory_id");
  const std::string time_units = "seconds since " + iso_date(date_of_day(meta.day)) + " 00:00:00";
  v.time = define(nc, "time", NC_DOUBLE, {dims.time}, "time", "time of the second, UTC", time_units.c_str());
  nc.text(v.time, "calendar", "standard");
  nc.text(v.time, "axis", "T");
  v.clock = define_clock_variables(nc, dims.time, time_units);
  v.wind_height = define(nc, "wind_height", NC_FLOAT, {}, "height",
                         "height above the sea surface of the retrieved and onboard wind speeds", "m");
  nc.text(v.wind_height, "positive", "up");
  v.channel = define(nc, "channel", NC_INT, {dims.channel}, nullptr,
                     "radiometer channel number (column Tb0..Tb5)", "1");
  v.frequency = define(nc, "frequency", NC_FLOAT, {dims.channel}, "sensor_band_central_radiation_frequency",
                       "central frequency of the radiometer channel", "GHz");
  nc.text(v.frequency, "comment",
          "_FillValue for a disabled channel (0.0 GHz in the setup file), and for every channel when the "
          "conversion was given no setup file");
}

// The series along the flight with their comments, the standard errors and the brightness temperatures.
void define_series(nc::File& nc, const Dims& dims, const std::vector<Series>& series, FlightVars& v) {
  for (const Series& s : series) {
    const int id = define(nc, s.name, NC_FLOAT, {dims.time}, s.standard_name, s.long_name, s.units);
    if (s.coordinates != nullptr) nc.text(id, "coordinates", s.coordinates);
    v.series.push_back(id);
  }
  nc.text(v.series[0], "axis", "Y");
  nc.text(v.series[1], "axis", "X");
  nc.text(v.series[2], "axis", "Z");
  nc.text(v.series[2], "positive", "up");
  const std::string no_retrieval =
      "_FillValue where the retrieval status says no retrieval was made (the output file repeats the last "
      "solution there) and where the output file shows asterisks";
  for (std::size_t k = series.size() - 6; k < series.size() - 3; ++k)
    nc.text(v.series[k], "comment", no_retrieval);
  for (std::size_t k = series.size() - 3; k < series.size(); ++k)
    nc.text(v.series[k], "comment",
            "_FillValue before the first onboard solution record and where the output file shows asterisks");

  v.uncertainty = define_uncertainty(nc, dims.time, dims.channel, v.series[series.size() - 6],
                                     v.series[series.size() - 5], kCoords, kWindCoords);

  v.tb = define(nc, "tb", NC_FLOAT, {dims.time, dims.channel}, "brightness_temperature",
                "brightness temperature of the sea surface seen by the radiometer channel", "K");
  nc.text(v.tb, "coordinates", "time lat lon height frequency");
}

// The status texts, as flags and as the text itself.
void define_status(nc::File& nc, const Dims& dims, FlightVars& v) {
  v.retrieval_status =
      define(nc, "retrieval_status", NC_SHORT, {dims.time}, "status_flag", "retrieval status", "1");
  flag_masks(nc, v.retrieval_status,
             kRetrievalReasonBit + static_cast<int>(flight::kNoRetrievalTexts.size()) + 1);
  nc.text(v.retrieval_status, "flag_meanings",
          channel_meanings("used") +
              "big_roll over_land no_data no_solution reference_temperature_error calm_zero_wind_and_rain");
  nc.text(v.retrieval_status, "comment",
          "A retrieval (status text F012345, a digit replaced by - for a channel left out) sets the bits of "
          "the "
          "channels used; otherwise exactly one of the other bits is set: no retrieval was made (big_roll .. "
          "reference_temperature_error) or the solution is a calm sea without rain (a real zero)");
  nc.text(v.retrieval_status, "coordinates", kCoords);
  v.onboard_status =
      define(nc, "onboard_status", NC_SHORT, {dims.time}, "status_flag", "onboard processor status", "1");
  flag_masks(nc, v.onboard_status, kOnboardMarkerBit + 1);
  nc.text(v.onboard_status, "flag_meanings",
          channel_meanings("flagged") + "no_data no_auxiliary_data old_sst temperature_error marked");
  nc.text(v.onboard_status, "comment",
          "A channel list (status text F012345, a digit replaced by - for a channel the onboard processor "
          "flagged) sets the bits of the flagged channels; otherwise one of no_data .. temperature_error is "
          "set. marked: the text begins with *");
  nc.text(v.onboard_status, "coordinates", kCoords);
  v.retrieval_text = define(nc, "retrieval_status_text", NC_CHAR, {dims.time, dims.text}, nullptr,
                            "retrieval status text as written in the output file (column Err)", "1");
  v.onboard_text = define(nc, "onboard_status_text", NC_CHAR, {dims.time, dims.text}, nullptr,
                          "onboard status text as written in the output file (column PSErr)", "1");
}

FlightVars define_variables(nc::File& nc, const Dims& dims, const std::vector<Series>& series,
                            const FlightMetadata& meta) {
  FlightVars v;
  define_coordinates(nc, dims, meta, v);
  define_series(nc, dims, series, v);
  define_status(nc, dims, v);
  return v;
}

// Smallest and largest non-NaN value of a column; false when every value is NaN.
bool extent(const std::vector<OutSecond>& seconds, float OutSecond::*member, float& lo, float& hi) {
  lo = INFINITY;
  hi = -INFINITY;
  for (const OutSecond& s : seconds) {
    const float v = s.*member;
    if (std::isnan(v)) continue;
    lo = std::min(lo, v);
    hi = std::max(hi, v);
  }
  return lo <= hi;
}

// The file's ACDD and CF global attributes, and the run's facts.
void global_attributes(nc::File& nc, const std::vector<OutSecond>& seconds, const FlightMetadata& meta) {
  const int g = NC_GLOBAL;
  nc.text(g, "Conventions", "CF-1.8, ACDD-1.3");
  nc.text(g, "featureType", "trajectory");
  nc.text(g, "cdm_data_type", "Trajectory");
  nc.text(g, "title", "Surface wind speed and rain rate from the airborne SFMR, flight " + meta.flight);
  nc.text(g, "summary",
          "Surface wind speed and rain rate retrieved second by second by sfmrbatch from the brightness "
          "temperatures of an airborne stepped-frequency microwave radiometer (SFMR, six channels between 4 "
          "and 8 GHz), with the aircraft's position, radar altitude, attitude and temperatures, the "
          "radiometer's internal temperatures and the onboard processor's own solution.");
  nc.text(g, "source", "airborne stepped-frequency microwave radiometer, retrieval by sfmrbatch");
  nc.text(g, "instrument", "stepped-frequency microwave radiometer (SFMR)");
  if (meta.serial > 0) nc.ints(g, "instrument_serial_number", std::span<const int>(&meta.serial, 1));
  const SetupFacts& setup = meta.setup;
  if (meta.have_setup) {
    if (setup.have_freq) nc.floats(g, "channel_frequencies_GHz", setup.freq);
    if (setup.have_filter) nc.floats(g, "channel_filter", std::span<const float>(&setup.filter, 1));
    if (setup.have_default_sst)
      nc.floats(g, "default_sst_degC", std::span<const float>(&setup.default_sst, 1));
    if (!setup.cal_file.empty()) nc.text(g, "calibration_file", setup.cal_file);
    if (!setup.sst_file.empty()) nc.text(g, "sst_file", setup.sst_file);
  }
  nc.text(g, "raw_data_file", meta.raw_file);
  nc.text(g, "output_file", meta.out_file);
  nc.text(g, "history", meta.history);
  nc.text(g, "date_created", meta.date_created);
  if (!seconds.empty()) {
    nc.text(g, "time_coverage_start", iso_time(meta.day, seconds.front().elapsed));
    nc.text(g, "time_coverage_end", iso_time(meta.day, seconds.back().elapsed));
  }
  float lo = 0, hi = 0;
  if (extent(seconds, &OutSecond::Lat, lo, hi)) {
    nc.floats(g, "geospatial_lat_min", std::span<const float>(&lo, 1));
    nc.floats(g, "geospatial_lat_max", std::span<const float>(&hi, 1));
    nc.text(g, "geospatial_lat_units", "degrees_north");
  }
  if (extent(seconds, &OutSecond::Lon, lo, hi)) {
    nc.floats(g, "geospatial_lon_min", std::span<const float>(&lo, 1));
    nc.floats(g, "geospatial_lon_max", std::span<const float>(&hi, 1));
    nc.text(g, "geospatial_lon_units", "degrees_east");
  }
  nc.text(g, "software_name", "sfmr2nc");
  nc.text(g, "software_version", meta.software_version);
}

// The status flags and texts of every second.
void write_status(nc::File& nc, const FlightVars& v, const std::vector<OutSecond>& seconds) {
  const std::size_t n = seconds.size();
  std::vector<std::int16_t> flags(n);
  std::string texts;
  texts.reserve(n * flight::kStatusWidth);
  for (std::size_t i = 0; i < n; ++i) {
    flags[i] = retrieval_flags(seconds[i].Err);
    texts += seconds[i].Err.text;
  }
  nc.put(v.retrieval_status, flags.data(), "retrieval_status");
  nc.put(v.retrieval_text, texts.data(), "retrieval_status_text");
  texts.clear();
  for (std::size_t i = 0; i < n; ++i) {
    flags[i] = onboard_flags(seconds[i].PSErr);
    texts += seconds[i].PSErr.text;
  }
  nc.put(v.onboard_status, flags.data(), "onboard_status");
  nc.put(v.onboard_text, texts.data(), "onboard_status_text");
}

void write_data(nc::File& nc, const FlightVars& v, const std::vector<Series>& series,
                const std::vector<OutSecond>& seconds, const FlightMetadata& meta) {
  const std::size_t n = seconds.size();
  const char* name = meta.flight.c_str();
  nc.put(v.trajectory, &name, "trajectory");
  std::vector<double> times(n);
  for (std::size_t i = 0; i < n; ++i) times[i] = seconds[i].time;
  nc.put(v.time, times.data(), "time");
  put_clock_variables(nc, v.clock, seconds);
  const float ten = 10.0f;  // m: the retrieval's wind speed is the wind at 10 m
  nc.put(v.wind_height, &ten, "wind_height");
  std::vector<int> channels(kChannels);
  std::vector<float> freqs(kChannels, kFill);
  const SetupFacts& setup = meta.setup;
  for (int k = 0; k < kChannels; ++k) {
    channels[static_cast<std::size_t>(k)] = k;
    const float f = setup.freq[static_cast<std::size_t>(k)];
    if (meta.have_setup && setup.have_freq && f != 0.0f) freqs[static_cast<std::size_t>(k)] = f;
  }
  nc.put(v.channel, channels.data(), "channel");
  nc.put(v.frequency, freqs.data(), "frequency");

  std::vector<float> values(n);
  for (std::size_t k = 0; k < series.size(); ++k) {
    for (std::size_t i = 0; i < n; ++i) values[i] = stored(series[k].value(i));
    nc.put(v.series[k], values.data(), series[k].name);
  }
  values.resize(n * kChannels);
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t k = 0; k < kChannels; ++k) values[i * kChannels + k] = stored(seconds[i].Tb[k]);
  nc.put(v.tb, values.data(), "tb");

  write_uncertainty(nc, v.uncertainty, seconds, meta);
  write_status(nc, v, seconds);
}

}  // namespace

std::int16_t retrieval_flags(const flight::RetrievalStatus& status) {
  using flight::RetrievalKind;
  int bits = 0;
  if (status.kind == RetrievalKind::ChannelList) {
    for (int k = 0; k < kChannels; ++k)
      if (status.channel_used[static_cast<std::size_t>(k)]) bits |= 1 << k;
  } else if (status.kind == RetrievalKind::Calm) {
    bits = 1 << (kRetrievalReasonBit + static_cast<int>(flight::kNoRetrievalTexts.size()));
  } else {
    bits =
        1 << (kRetrievalReasonBit + static_cast<int>(status.kind) - static_cast<int>(RetrievalKind::BigRoll));
  }
  return static_cast<std::int16_t>(bits);
}

std::int16_t onboard_flags(const flight::OnboardStatus& status) {
  using flight::OnboardKind;
  int bits = status.marker ? 1 << kOnboardMarkerBit : 0;
  if (status.kind == OnboardKind::ChannelList) {
    for (int k = 0; k < kChannels; ++k)
      if (status.channel_flagged[static_cast<std::size_t>(k)]) bits |= 1 << k;
  } else {
    bits |= 1 << (kOnboardLabelBit + static_cast<int>(status.kind) - static_cast<int>(OnboardKind::NoData));
  }
  return static_cast<std::int16_t>(bits);
}

std::size_t first_onboard_second(const std::vector<OutSecond>& seconds) {
  const auto found = std::find_if(seconds.begin(), seconds.end(), [](const OutSecond& s) {
    return !(s.PSWS == 0.0f && s.PSRR == 0.0f && s.PSQF == 0.0f && s.PSErr.text == "F012345   ");
  });
  return static_cast<std::size_t>(found - seconds.begin());
}

std::string write_flight_nc(const std::string& path, const std::vector<OutSecond>& seconds,
                            const FlightMetadata& meta) {
  try {
    nc::File file = nc::File::create(path);
    const Dims dims = define_dims(file, seconds.size());
    const std::vector<Series> series = flight_series(seconds);
    const FlightVars vars = define_variables(file, dims, series, meta);
    global_attributes(file, seconds, meta);
    file.end_define();
    write_data(file, vars, series, seconds, meta);
    file.close();
    return {};
  } catch (const std::runtime_error& failure) {
    return failure.what();
  }
}

}  // namespace sfmr::archive

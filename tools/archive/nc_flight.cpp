#include "archive/nc_flight.hpp"

#include <netcdf.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <span>
#include <stdexcept>

#include "archive/nc_clock.hpp"
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

struct NcFailure {
  std::string what;
};

void check(int status, const std::string& what) {
  if (status != NC_NOERR) throw NcFailure{what + ": " + nc_strerror(status)};
}

// The open file; closed (without error check) when destroyed before close().
class NcFile {
 public:
  // `path` is the caller's own temporary (made empty to reserve the name), so it is overwritten.
  explicit NcFile(const std::string& path) {
    check(nc_create(path.c_str(), NC_NETCDF4 | NC_CLOBBER, &id_), "create");
  }
  NcFile(const NcFile&) = delete;
  NcFile& operator=(const NcFile&) = delete;
  ~NcFile() {
    if (id_ >= 0) nc_close(id_);
  }
  void close() {
    const int id = id_;
    id_ = -1;
    check(nc_close(id), "close");
  }
  int id() const { return id_; }

 private:
  int id_ = -1;
};

void text_att(int nc, int var, const char* name, std::string_view value) {
  check(nc_put_att_text(nc, var, name, value.size(), value.data()), name);
}

void float_att(int nc, int var, const char* name, std::span<const float> values) {
  check(nc_put_att_float(nc, var, name, NC_FLOAT, values.size(), values.data()), name);
}

void int_att(int nc, int var, const char* name, int value) {
  check(nc_put_att_int(nc, var, name, NC_INT, 1, &value), name);
}

// Defines a variable with its descriptive attributes; a variable along `time` is compressed (deflate with
// shuffle), a float one gets _FillValue.
int define(int nc, const char* name, nc_type type, std::initializer_list<int> dims, const char* standard_name,
           const char* long_name, const char* units) {
  int var = -1;
  const std::vector<int> d(dims);
  check(nc_def_var(nc, name, type, static_cast<int>(d.size()), d.data(), &var), name);
  if (!d.empty()) check(nc_def_var_deflate(nc, var, 1, 1, kDeflateLevel), name);
  if (type == NC_FLOAT) check(nc_def_var_fill(nc, var, 0, &kFill), name);
  if (standard_name != nullptr) text_att(nc, var, "standard_name", standard_name);
  text_att(nc, var, "long_name", long_name);
  text_att(nc, var, "units", units);
  return var;
}

// "YYYY-MM-DDTHH:MM:SSZ" of `elapsed` seconds after 00:00:00 of day number `day`.
std::string iso_time(std::int32_t day, std::int64_t elapsed) {
  const CalendarDate d = date_of_day(day + static_cast<std::int32_t>(elapsed / kSecondsPerDay));
  const std::int64_t sec = elapsed % kSecondsPerDay;
  return iso_date(d) + "T" + format_I(sec / 3600, 2, 2) + ":" + format_I(sec % 3600 / 60, 2, 2) + ":" +
         format_I(sec % 60, 2, 2) + "Z";
}

// Flag meanings of a channel set ("channel_0_WORD channel_1_WORD ...").
std::string channel_meanings(const std::string& word) {
  std::string m;
  for (int k = 0; k < kChannels; ++k) m += "channel_" + std::to_string(k) + "_" + word + " ";
  return m;
}

void flag_masks(int nc, int var, int bits) {
  std::vector<std::int16_t> masks;
  for (int b = 0; b < bits; ++b) masks.push_back(static_cast<std::int16_t>(1 << b));
  check(nc_put_att_short(nc, var, "flag_masks", NC_SHORT, masks.size(), masks.data()), "flag_masks");
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

// The variables of the standard errors.
struct Uncertainty {
  int ws_se = -1, rr_se = -1, correlation = -1, residual = -1;
};

Uncertainty define_uncertainty(int nc, int time_dim, int channel_dim, int wind_speed, int rain_rate,
                               const char* coords, const char* wind_coords) {
  Uncertainty u;
  const char* model =
      "The error covariance of the channels' brightness temperatures holds the instrument noise, estimated "
      "as the median of the squared fit residuals (column SFQF per degree of freedom) of the seconds within "
      "30 s, and the timing error of measurements 2.5 to 5 s older than their second, from the rate at which "
      "the retrieval changes along the track. ";
  u.ws_se = define(nc, "wind_speed_standard_error", NC_FLOAT, {time_dim}, "wind_speed standard_error",
                   "standard error of the retrieved surface wind speed", "m s-1");
  text_att(nc, u.ws_se, "coordinates", wind_coords);
  text_att(
      nc, u.ws_se, "comment",
      std::string(model) +
          "It is propagated to the rain-corrected wind speed through the forward model linearised at the "
          "solution for the second's altitude, SST, air temperature and the channels used, then weighed, "
          "through its correlation with the rain rate's error, against the flight's own distribution of "
          "rain (see rain_rate_standard_error); _FillValue where no retrieval was made.");
  u.rr_se = define(nc, "rain_rate_standard_error", NC_FLOAT, {time_dim}, "rainfall_rate standard_error",
                   "standard error of the retrieved rain rate", "mm h-1");
  text_att(nc, u.rr_se, "coordinates", coords);
  text_att(
      nc, u.rr_se, "comment",
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
  text_att(nc, u.correlation, "coordinates", coords);
  text_att(nc, u.correlation, "comment",
           "The off-diagonal element of the same error covariance of wind speed and rain rate, divided by "
           "the product of the two standard errors. Wind and rain trade off on the six channels, so it is "
           "mostly negative; _FillValue where no retrieval was made.");
  u.residual = define(nc, "tb_residual", NC_FLOAT, {time_dim, channel_dim}, nullptr,
                      "measured minus modelled brightness temperature at the retrieved solution", "K");
  text_att(nc, u.residual, "coordinates", "time lat lon height frequency");
  text_att(
      nc, u.residual, "comment",
      "The measured brightness temperature minus the forward model's at the printed wind speed (its rain "
      "correction undone) and rain rate, for the second's altitude, SST and air temperature. _FillValue "
      "for a channel not used in the solve and where no retrieval was made.");
  // Three significant digits are more than the estimates hold: the rest of each value's mantissa is zeroed
  // (bit grooming), and a light deflate suffices for what remains.
  for (const int var : {u.ws_se, u.rr_se, u.correlation, u.residual}) {
    check(nc_def_var_quantize(nc, var, NC_QUANTIZE_BITGROOM, kErrorDigits), "quantize");
    check(nc_def_var_deflate(nc, var, 1, 1, kErrorDeflateLevel), "deflate");
  }
  const std::string wind_ancillary = "wind_speed_standard_error wind_rain_error_correlation";
  const std::string rain_ancillary = "rain_rate_standard_error wind_rain_error_correlation";
  text_att(nc, wind_speed, "ancillary_variables", wind_ancillary);
  text_att(nc, rain_rate, "ancillary_variables", rain_ancillary);
  return u;
}

void write_uncertainty(int nc, const Uncertainty& u, const std::vector<OutSecond>& seconds,
                       const FlightMetadata& meta) {
  uncertainty::FlightInputs inputs;
  if (meta.have_setup && meta.setup.have_freq) inputs.freq = meta.setup.freq;
  inputs.serial = meta.serial;
  const std::vector<uncertainty::SecondError> errors = uncertainty::estimate_errors(seconds, inputs);
  const std::size_t n = seconds.size();
  auto stored = [](float v) { return std::isnan(v) ? kFill : v; };
  std::vector<float> values(n);
  const std::pair<int, float uncertainty::SecondError::*> scalars[] = {
      {u.ws_se, &uncertainty::SecondError::ws_se},
      {u.rr_se, &uncertainty::SecondError::rr_se},
      {u.correlation, &uncertainty::SecondError::correlation}};
  for (const auto& [var, member] : scalars) {
    for (std::size_t i = 0; i < n; ++i) values[i] = stored(errors[i].*member);
    check(nc_put_var_float(nc, var, values.data()), "standard errors");
  }
  values.resize(n * kChannels);
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t k = 0; k < kChannels; ++k) values[i * kChannels + k] = stored(errors[i].tb_residual[k]);
  check(nc_put_var_float(nc, u.residual, values.data()), "tb_residual");
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
    NcFile file(path);
    const int nc = file.id();
    const std::size_t n = seconds.size();
    int time_dim = -1, channel_dim = -1, text_dim = -1;
    check(nc_def_dim(nc, "time", n, &time_dim), "time");
    check(nc_def_dim(nc, "channel", kChannels, &channel_dim), "channel");
    check(nc_def_dim(nc, "status_length", flight::kStatusWidth, &text_dim), "status_length");
    const char* coords = "time lat lon height";
    const char* wind_coords = "time lat lon wind_height";

    // ---- Coordinates
    const int trajectory = define(nc, "trajectory", NC_STRING, {}, nullptr, "flight name", "1");
    text_att(nc, trajectory, "cf_role", "trajectory_id");
    const std::string time_units = "seconds since " + iso_date(date_of_day(meta.day)) + " 00:00:00";
    const int time =
        define(nc, "time", NC_DOUBLE, {time_dim}, "time", "time of the second, UTC", time_units.c_str());
    text_att(nc, time, "calendar", "standard");
    text_att(nc, time, "axis", "T");
    const ClockVariables clock_vars = define_clock_variables(nc, time_dim, time_units);
    const int wind_height =
        define(nc, "wind_height", NC_FLOAT, {}, "height",
               "height above the sea surface of the retrieved and onboard wind speeds", "m");
    text_att(nc, wind_height, "positive", "up");
    const int channel = define(nc, "channel", NC_INT, {channel_dim}, nullptr,
                               "radiometer channel number (column Tb0..Tb5)", "1");
    const int frequency =
        define(nc, "frequency", NC_FLOAT, {channel_dim}, "sensor_band_central_radiation_frequency",
               "central frequency of the radiometer channel", "GHz");
    text_att(nc, frequency, "comment",
             "_FillValue for a disabled channel (0.0 GHz in the setup file), and for every channel when the "
             "conversion was given no setup file");

    // ---- Series along the flight
    const std::size_t first_onboard = first_onboard_second(seconds);
    auto retrieved = [&seconds](std::size_t i, float v) {
      return seconds[i].Err.retrieved() ? v : std::nanf("");
    };
    auto onboard = [first_onboard](std::size_t i, float v) { return i >= first_onboard ? v : std::nanf(""); };
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
        {"wind_speed", "wind_speed", "retrieved surface wind speed at 10 m above the sea", "m s-1",
         wind_coords, [&](std::size_t i) { return retrieved(i, seconds[i].SFWS); }},
        {"rain_rate", "rainfall_rate", "retrieved rain rate", "mm h-1", coords,
         [&](std::size_t i) { return retrieved(i, seconds[i].SFRR); }},
        {"quality", nullptr, "rms misfit of the retrieval's brightness temperatures", "K", coords,
         [&](std::size_t i) { return retrieved(i, seconds[i].SFQF); }},
        {"onboard_wind_speed", "wind_speed", "onboard processor's surface wind speed at 10 m above the sea",
         "m s-1", wind_coords, [&](std::size_t i) { return onboard(i, seconds[i].PSWS); }},
        {"onboard_rain_rate", "rainfall_rate", "onboard processor's rain rate", "mm h-1", coords,
         [&](std::size_t i) { return onboard(i, seconds[i].PSRR); }},
        {"onboard_quality", nullptr, "onboard processor's quality figure", "1", coords,
         [&](std::size_t i) { return onboard(i, seconds[i].PSQF); }},
    };
    series.insert(series.end(), solutions.begin(), solutions.end());
    std::vector<int> series_ids;
    for (const Series& v : series) {
      const int id = define(nc, v.name, NC_FLOAT, {time_dim}, v.standard_name, v.long_name, v.units);
      if (v.coordinates != nullptr) text_att(nc, id, "coordinates", v.coordinates);
      series_ids.push_back(id);
    }
    text_att(nc, series_ids[0], "axis", "Y");
    text_att(nc, series_ids[1], "axis", "X");
    text_att(nc, series_ids[2], "axis", "Z");
    text_att(nc, series_ids[2], "positive", "up");
    const std::string no_retrieval =
        "_FillValue where the retrieval status says no retrieval was made (the output file repeats the last "
        "solution there) and where the output file shows asterisks";
    for (std::size_t v = series.size() - 6; v < series.size() - 3; ++v)
      text_att(nc, series_ids[v], "comment", no_retrieval);
    for (std::size_t v = series.size() - 3; v < series.size(); ++v)
      text_att(
          nc, series_ids[v], "comment",
          "_FillValue before the first onboard solution record and where the output file shows asterisks");

    // ---- Standard errors of the retrieval
    const Uncertainty unc = define_uncertainty(nc, time_dim, channel_dim, series_ids[series.size() - 6],
                                               series_ids[series.size() - 5], coords, wind_coords);

    const int tb = define(nc, "tb", NC_FLOAT, {time_dim, channel_dim}, "brightness_temperature",
                          "brightness temperature of the sea surface seen by the radiometer channel", "K");
    text_att(nc, tb, "coordinates", "time lat lon height frequency");

    // ---- Status: flags and the text itself
    const int retrieval_status =
        define(nc, "retrieval_status", NC_SHORT, {time_dim}, "status_flag", "retrieval status", "1");
    flag_masks(nc, retrieval_status,
               kRetrievalReasonBit + static_cast<int>(flight::kNoRetrievalTexts.size()) + 1);
    text_att(
        nc, retrieval_status, "flag_meanings",
        channel_meanings("used") +
            "big_roll over_land no_data no_solution reference_temperature_error calm_zero_wind_and_rain");
    text_att(
        nc, retrieval_status, "comment",
        "A retrieval (status text F012345, a digit replaced by - for a channel left out) sets the bits of "
        "the "
        "channels used; otherwise exactly one of the other bits is set: no retrieval was made (big_roll .. "
        "reference_temperature_error) or the solution is a calm sea without rain (a real zero)");
    text_att(nc, retrieval_status, "coordinates", coords);
    const int onboard_status =
        define(nc, "onboard_status", NC_SHORT, {time_dim}, "status_flag", "onboard processor status", "1");
    flag_masks(nc, onboard_status, kOnboardMarkerBit + 1);
    text_att(nc, onboard_status, "flag_meanings",
             channel_meanings("flagged") + "no_data no_auxiliary_data old_sst temperature_error marked");
    text_att(
        nc, onboard_status, "comment",
        "A channel list (status text F012345, a digit replaced by - for a channel the onboard processor "
        "flagged) sets the bits of the flagged channels; otherwise one of no_data .. temperature_error is "
        "set. marked: the text begins with *");
    text_att(nc, onboard_status, "coordinates", coords);
    const int retrieval_text =
        define(nc, "retrieval_status_text", NC_CHAR, {time_dim, text_dim}, nullptr,
               "retrieval status text as written in the output file (column Err)", "1");
    const int onboard_text = define(nc, "onboard_status_text", NC_CHAR, {time_dim, text_dim}, nullptr,
                                    "onboard status text as written in the output file (column PSErr)", "1");

    // ---- Global attributes
    const int g = NC_GLOBAL;
    text_att(nc, g, "Conventions", "CF-1.8, ACDD-1.3");
    text_att(nc, g, "featureType", "trajectory");
    text_att(nc, g, "cdm_data_type", "Trajectory");
    text_att(nc, g, "title",
             "Surface wind speed and rain rate from the airborne SFMR, flight " + meta.flight);
    text_att(
        nc, g, "summary",
        "Surface wind speed and rain rate retrieved second by second by sfmrbatch from the brightness "
        "temperatures of an airborne stepped-frequency microwave radiometer (SFMR, six channels between 4 "
        "and 8 GHz), with the aircraft's position, radar altitude, attitude and temperatures, the "
        "radiometer's internal temperatures and the onboard processor's own solution.");
    text_att(nc, g, "source", "airborne stepped-frequency microwave radiometer, retrieval by sfmrbatch");
    text_att(nc, g, "instrument", "stepped-frequency microwave radiometer (SFMR)");
    if (meta.serial > 0) int_att(nc, g, "instrument_serial_number", meta.serial);
    const SetupFacts& setup = meta.setup;
    if (meta.have_setup) {
      if (setup.have_freq) float_att(nc, g, "channel_frequencies_GHz", setup.freq);
      if (setup.have_filter) float_att(nc, g, "channel_filter", std::span<const float>(&setup.filter, 1));
      if (setup.have_default_sst)
        float_att(nc, g, "default_sst_degC", std::span<const float>(&setup.default_sst, 1));
      if (!setup.cal_file.empty()) text_att(nc, g, "calibration_file", setup.cal_file);
      if (!setup.sst_file.empty()) text_att(nc, g, "sst_file", setup.sst_file);
    }
    text_att(nc, g, "raw_data_file", meta.raw_file);
    text_att(nc, g, "output_file", meta.out_file);
    text_att(nc, g, "history", meta.history);
    text_att(nc, g, "date_created", meta.date_created);
    if (n > 0) {
      text_att(nc, g, "time_coverage_start", iso_time(meta.day, seconds.front().elapsed));
      text_att(nc, g, "time_coverage_end", iso_time(meta.day, seconds.back().elapsed));
    }
    auto extent = [&seconds](float OutSecond::*member, float& lo, float& hi) {
      lo = INFINITY;
      hi = -INFINITY;
      for (const OutSecond& s : seconds) {
        const float v = s.*member;
        if (std::isnan(v)) continue;
        lo = std::min(lo, v);
        hi = std::max(hi, v);
      }
      return lo <= hi;
    };
    float lo = 0, hi = 0;
    if (extent(&OutSecond::Lat, lo, hi)) {
      float_att(nc, g, "geospatial_lat_min", std::span<const float>(&lo, 1));
      float_att(nc, g, "geospatial_lat_max", std::span<const float>(&hi, 1));
      text_att(nc, g, "geospatial_lat_units", "degrees_north");
    }
    if (extent(&OutSecond::Lon, lo, hi)) {
      float_att(nc, g, "geospatial_lon_min", std::span<const float>(&lo, 1));
      float_att(nc, g, "geospatial_lon_max", std::span<const float>(&hi, 1));
      text_att(nc, g, "geospatial_lon_units", "degrees_east");
    }
    text_att(nc, g, "software_name", "sfmr2nc");
    text_att(nc, g, "software_version", meta.software_version);
    check(nc_enddef(nc), "enddef");

    // ---- Data
    const char* name = meta.flight.c_str();
    check(nc_put_var_string(nc, trajectory, &name), "trajectory");
    std::vector<double> times(n);
    for (std::size_t i = 0; i < n; ++i) times[i] = seconds[i].time;
    check(nc_put_var_double(nc, time, times.data()), "time");
    put_clock_variables(nc, clock_vars, seconds);
    const float ten = 10.0f;  // m: the retrieval's wind speed is the wind at 10 m
    check(nc_put_var_float(nc, wind_height, &ten), "wind_height");
    std::vector<int> channels(kChannels);
    std::vector<float> freqs(kChannels, kFill);
    for (int k = 0; k < kChannels; ++k) {
      channels[static_cast<std::size_t>(k)] = k;
      const float f = setup.freq[static_cast<std::size_t>(k)];
      if (meta.have_setup && setup.have_freq && f != 0.0f) freqs[static_cast<std::size_t>(k)] = f;
    }
    check(nc_put_var_int(nc, channel, channels.data()), "channel");
    check(nc_put_var_float(nc, frequency, freqs.data()), "frequency");

    auto stored = [](float v) { return std::isnan(v) ? kFill : v; };
    std::vector<float> values(n);
    for (std::size_t v = 0; v < series.size(); ++v) {
      for (std::size_t i = 0; i < n; ++i) values[i] = stored(series[v].value(i));
      check(nc_put_var_float(nc, series_ids[v], values.data()), series[v].name);
    }
    values.resize(n * kChannels);
    for (std::size_t i = 0; i < n; ++i)
      for (std::size_t k = 0; k < kChannels; ++k) values[i * kChannels + k] = stored(seconds[i].Tb[k]);
    check(nc_put_var_float(nc, tb, values.data()), "tb");

    write_uncertainty(nc, unc, seconds, meta);

    std::vector<std::int16_t> flags(n);
    std::string texts;
    texts.reserve(n * flight::kStatusWidth);
    for (std::size_t i = 0; i < n; ++i) {
      flags[i] = retrieval_flags(seconds[i].Err);
      texts += seconds[i].Err.text;
    }
    check(nc_put_var_short(nc, retrieval_status, flags.data()), "retrieval_status");
    check(nc_put_var_text(nc, retrieval_text, texts.data()), "retrieval_status_text");
    texts.clear();
    for (std::size_t i = 0; i < n; ++i) {
      flags[i] = onboard_flags(seconds[i].PSErr);
      texts += seconds[i].PSErr.text;
    }
    check(nc_put_var_short(nc, onboard_status, flags.data()), "onboard_status");
    check(nc_put_var_text(nc, onboard_text, texts.data()), "onboard_status_text");
    file.close();
    return {};
  } catch (const NcFailure& failure) {
    return failure.what;
  } catch (const std::runtime_error& failure) {
    return failure.what();
  }
}

}  // namespace sfmr::archive

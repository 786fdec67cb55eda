#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "common/earth.hpp"
#include "core/constants.hpp"
#include "recon/hdob.hpp"
#include "recon/vdm.hpp"
#include "sim/balance.hpp"
#include "sim/recon_messages.hpp"
#include "sim/sonde_drops.hpp"
#include "sim/storm_truth.hpp"
#include "sonde/eol.hpp"
#include "sonde/surface_wind.hpp"
#include "sonde/tempdrop.hpp"

namespace sfmr::sim {
namespace {

struct Case {
  const char* name;
  Pattern pattern;
  Profile profile;
  double lat0;       // deg
  double motion;     // northward, m/s
  double asymmetry;  // m/s
};

constexpr Case kCases[] = {
    {"figure-four, still Holland vortex", Pattern::kFigure4, Profile::kHolland, 26.0, 0.0, 4.0},
    {"alpha, moving wdr vortex", Pattern::kAlpha, Profile::kWdr, 18.0, 5.0, 8.0},
    {"butterfly, concentric, southern hemisphere", Pattern::kButterfly, Profile::kConcentric, -15.0, 0.0,
     0.0},
};

struct Flight {
  FlightOptions o;
  Storm storm;
  std::vector<FlightSecond> s;
};

Flight flight_of(const Case& c) {
  Flight f;
  f.o.hours = 1.5, f.o.land_leg = false, f.o.pattern = c.pattern;
  f.storm.profile = c.profile, f.storm.lat0 = c.lat0, f.storm.motion_north = c.motion;
  f.storm.asymmetry = c.asymmetry;
  f.s = flight_seconds(f.o, f.storm, nullptr, static_cast<int>(f.o.hours * 3600.0));
  return f;
}

// The HDOB read back by the recon reader: an observation every 30 s at its second's position (to the
// minute), with the peak of the 10-s means of the radiometer-like wind over its 30 s (to the knot).
TEST(SimulatorMessages, HdobReadBackGivesThePositionsAndPeaks) {
  for (const Case& c : kCases) {
    const Flight f = flight_of(c);
    const recon::HdobArchive a = recon::read_hdob(hdob_text(f.o, flight_mission(f.o, f.storm), f.s), c.name);
    EXPECT_TRUE(a.faults.empty()) << c.name;
    const double start = flight_start_seconds(f.o);
    std::size_t times = 0;  // the half minutes whose 30 s and their 10-s means lie within the flight
    for (std::size_t k = 23; k + 15 < f.s.size(); ++k) times += (f.o.start_sec + k) % 30 == 0 ? 1 : 0;
    EXPECT_EQ(a.observations.size(), times) << c.name;
    for (const recon::HdobObservation& obs : a.observations) {
      const auto k = static_cast<std::size_t>(std::lround(obs.time - start));
      ASSERT_LT(k + 15, f.s.size()) << c.name;
      EXPECT_NEAR(obs.lat, f.s[k].lat, 0.5 / 60.0 + 1e-9) << c.name << " at " << k;
      EXPECT_NEAR(obs.lon, f.s[k].lon, 0.5 / 60.0 + 1e-9) << c.name << " at " << k;
      double peak = 0.0;
      for (std::size_t j = k - 14; j <= k + 15; ++j) {
        double sum = 0.0;
        for (std::size_t i = j - 9; i <= j; ++i) sum += f.s[i].sfmr_wind;
        peak = std::max(peak, sum / 10.0);
      }
      EXPECT_NEAR(obs.sfmr_wind_ms, peak, 0.5 * kMsPerKt + 1e-9) << c.name << " at " << k;
    }
  }
}

// The least extrapolated sea-level pressure of the HDOBs lies in the eye (every observation at it, to the
// message's 0.1 hPa), the observation nearest the centre has it, and the balanced pressures rise outwards.
TEST(SimulatorMessages, PressureMinimumLiesAtTheCentre) {
  for (const Case& c : kCases) {
    const Flight f = flight_of(c);
    const recon::HdobArchive a = recon::read_hdob(hdob_text(f.o, flight_mission(f.o, f.storm), f.s), c.name);
    const double start = flight_start_seconds(f.o);
    auto radius = [&](const recon::HdobObservation& obs) {
      const FlightSecond& s = f.s[static_cast<std::size_t>(std::lround(obs.time - start))];
      return std::hypot(s.east, s.north);
    };
    double least = a.observations[0].surface_pressure_pa;
    const recon::HdobObservation* nearest = &a.observations[0];
    for (const auto& obs : a.observations) {
      least = std::min(least, obs.surface_pressure_pa);
      if (radius(obs) < radius(*nearest)) nearest = &obs;
    }
    EXPECT_LT(radius(*nearest), 130.0 * 15.0 / 1000.0) << c.name;
    EXPECT_NEAR(nearest->surface_pressure_pa, least, 0.5) << c.name;
    for (const auto& obs : a.observations) {
      if (obs.surface_pressure_pa < least + 0.5) {
        EXPECT_LT(radius(obs), 0.5 * f.storm.rmax) << c.name;
      }
    }
    const Balance balance(f.storm);
    for (double r = 0.0; r < 400.0; r += 0.5) {
      EXPECT_LE(balance.surface_hpa(r), balance.surface_hpa(r + 0.5)) << c.name << " at " << r << " km";
      EXPECT_LE(balance.flight_hpa(r), balance.flight_hpa(r + 0.5)) << c.name << " at " << r << " km";
    }
  }
}

// The flight-level wind of every second, less the storm's motion, blows cyclonically round the centre
// with the inflow asked for; the HDOBs' 30-s winds and surface pressures carry the errors asked for (their
// differences from the same flight's messages without errors have those standard deviations, within the
// sampling and the code's rounding), and no errors give the same text as the defaults.
TEST(SimulatorMessages, FlightLevelAirFollowsItsOptions) {
  struct AirCase {
    const char* name;
    std::size_t storm;  // row of kCases
    AirOptions air;
  };
  const AirCase cases[] = {
      {"inflow 0, still", 0, {.inflow_deg = 0.0, .wind_noise_ms = 0.0, .pressure_noise_hpa = 0.0}},
      {"inflow 15, moving, noisy", 1, {.inflow_deg = 15.0, .wind_noise_ms = 2.0, .pressure_noise_hpa = 1.0}},
      {"southern, wind noise only", 2, {.inflow_deg = 8.0, .wind_noise_ms = 1.0, .pressure_noise_hpa = 0.0}},
  };
  for (const AirCase& c : cases) {
    Flight f = flight_of(kCases[c.storm]);
    const std::vector<FlightSecond> s =
        flight_seconds(f.o, f.storm, nullptr, static_cast<int>(f.s.size()), c.air);
    for (const FlightSecond& x : s) {
      if (x.fl_speed < 10.0) continue;
      const double d = x.fl_from * std::numbers::pi / 180.0;
      const double u = -x.fl_speed * std::sin(d) - f.storm.motion_east;
      const double v = -x.fl_speed * std::cos(d) - f.storm.motion_north;
      const double from = std::atan2(-u, -v) * 180.0 / std::numbers::pi;
      const double bearing = std::atan2(x.east, x.north) * 180.0 / std::numbers::pi;
      const double want = cyclonic_from_deg(bearing, c.air.inflow_deg, x.lat);
      EXPECT_NEAR(std::remainder(from - want, 360.0), 0.0, 1e-6) << c.name << " at " << x.t;
    }
    const AirOptions quiet{.inflow_deg = c.air.inflow_deg, .wind_noise_ms = 0.0, .pressure_noise_hpa = 0.0};
    const Mission m = flight_mission(f.o, f.storm);
    const std::string noisy = hdob_text(f.o, m, s, c.air), clean = hdob_text(f.o, m, s, quiet);
    if (c.air.wind_noise_ms == 0.0 && c.air.pressure_noise_hpa == 0.0) {
      EXPECT_EQ(noisy, clean) << c.name;
    }
    const recon::HdobArchive a = recon::read_hdob(noisy, c.name), b = recon::read_hdob(clean, c.name);
    ASSERT_EQ(a.observations.size(), b.observations.size()) << c.name;
    double pp = 0.0, uu = 0.0;
    for (std::size_t k = 0; k < a.observations.size(); ++k) {
      const auto& x = a.observations[k];
      const auto& y = b.observations[k];
      const double dp = (x.surface_pressure_pa - y.surface_pressure_pa) / 100.0;
      const double du = x.wind_speed_ms * std::sin(x.wind_from_deg * std::numbers::pi / 180.0) -
                        y.wind_speed_ms * std::sin(y.wind_from_deg * std::numbers::pi / 180.0);
      pp += dp * dp, uu += du * du;
    }
    const double n = static_cast<double>(a.observations.size());
    // The code's rounding (0.1 hPa; whole knots and degrees) adds about 0.05 hPa and 0.4 m/s of its own.
    EXPECT_NEAR(std::sqrt(pp / n), c.air.pressure_noise_hpa, 0.1 + 0.1 * c.air.pressure_noise_hpa) << c.name;
    EXPECT_NEAR(std::sqrt(uu / n), c.air.wind_noise_ms, 0.5 + 0.1 * c.air.wind_noise_ms) << c.name;
  }
}

// One vortex data message per pass, read back by the recon reader: the fix at the pass's closest approach,
// within the stated accuracy of the truth's centre then (as recorded in the truth), the least pressure the
// balanced storm's.
TEST(SimulatorMessages, VortexMessagesFixTheTruthsCentreWithinTheirAccuracy) {
  for (const Case& c : kCases) {
    const Flight f = flight_of(c);
    std::string truth;
    const double start = flight_start_seconds(f.o);
    const auto fixes = recon::read_vdm(vdm_text(f.o, f.storm, f.s, truth), c.name, start);
    const auto passes = flown_passes(f.o, f.storm, static_cast<int>(f.s.size()));
    ASSERT_EQ(fixes.size(), passes.size()) << c.name;
    EXPECT_EQ(std::count(truth.begin(), truth.end(), '\n'), static_cast<long>(passes.size()) + 1) << c.name;
    for (std::size_t k = 0; k < fixes.size(); ++k) {
      EXPECT_NEAR(fixes[k].time, start + passes[k].closest, 0.5) << c.name << " fix " << k;
      double lat = 0.0, lon = 0.0;
      f.storm.centre(passes[k].closest, lat, lon);
      const earth::KmPerDegree scale = earth::km_per_degree(lat);
      const double km = std::hypot((fixes[k].lat - lat) * scale.lat, (fixes[k].lon - lon) * scale.lon);
      EXPECT_LE(km, fixes[k].meteorological_accuracy_nmi * kKmPerNmi) << c.name << " fix " << k;
      EXPECT_NEAR(fixes[k].pressure_hpa, Balance(f.storm).surface_hpa(0.0), 0.5) << c.name << " fix " << k;
    }
  }
}

// Each flight's messages and sondes name its own mission: its number in the storm, the storm's number and
// basin letter and its name (the simulator's own storm AL99 SIMULATED, or the track's), read back alike
// from the HDOBs, the vortex data messages and the sondes' TEMP DROP bulletins.
TEST(SimulatorMessages, EachFlightNamesItsOwnMission) {
  struct MissionCase {
    const char* name;
    int mission;
    const char* track_id;
    const char* track_name;
    const char* want_mission;
    const char* want_storm_id;
    const char* want_storm_name;
  };
  const MissionCase cases[] = {
      {"first flight, own storm", 1, "", "", "0199A", "99A", "SIMULATED"},
      {"second flight, own storm", 2, "", "", "0299A", "99A", "SIMULATED"},
      {"twelfth flight, eastern Pacific track", 12, "EP142024", "NORMAN", "1214E", "14E", "NORMAN"},
      {"central Pacific track without a name", 3, "CP022025", "", "0302C", "02C", "UNNAMED"},
  };
  for (const MissionCase& c : cases) {
    Flight f = flight_of(kCases[0]);
    f.o.mission = c.mission;
    f.storm.track_id = c.track_id, f.storm.track_name = c.track_name;
    const recon::HdobArchive a = recon::read_hdob(hdob_text(f.o, flight_mission(f.o, f.storm), f.s), c.name);
    ASSERT_FALSE(a.messages.empty()) << c.name;
    for (const recon::HdobMessage& m : a.messages) {
      EXPECT_EQ(m.mission, c.want_mission) << c.name << " HDOB " << m.number;
      EXPECT_EQ(m.storm_id, c.want_storm_id) << c.name << " HDOB " << m.number;
      EXPECT_EQ(m.storm_name, c.want_storm_name) << c.name << " HDOB " << m.number;
    }
    std::string truth;
    const auto fixes = recon::read_vdm(vdm_text(f.o, f.storm, f.s, truth), c.name, flight_start_seconds(f.o));
    ASSERT_FALSE(fixes.empty()) << c.name;
    for (const recon::VortexFix& v : fixes) {
      EXPECT_EQ(v.mission, c.want_mission) << c.name << " VDM " << v.observation;
      EXPECT_EQ(v.storm_name, c.want_storm_name) << c.name << " VDM " << v.observation;
    }
    const sonde::DateContext december{.year = 2026, .month = 12};
    for (const Drop& d : drop_sondes(f.o, f.storm, f.s, 2)) {
      const sonde::ReadResult temp = sonde::read_tempdrop(sonde::write_tempdrop(d.sonde), &december);
      ASSERT_EQ(temp.sondes.size(), 1u) << c.name << " " << d.sonde.id;
      EXPECT_EQ(temp.sondes[0].mission, c.want_mission) << c.name << " " << d.sonde.id;
    }
  }
}

// Each sonde's 10-m wind, estimated by the sonde library from its TEMP DROP bulletin and from its EOL file,
// is its lowest sample's within each form's rounding, that sample lying within one sample's fall above the
// waves' crests; it fell faster aloft than near the sea; and its lowest samples differ from the truth's mean
// 10-m wind by gusts of about the boundary layer's turbulence intensity (RMS relative difference over all).
TEST(SimulatorMessages, SondeSurfaceWindFromBothForms) {
  double squares = 0.0;
  int count = 0;
  for (const Case& c : kCases) {
    const Flight f = flight_of(c);
    const std::vector<Drop> drops = drop_sondes(f.o, f.storm, f.s, 9);
    ASSERT_EQ(drops.size(), 9u) << c.name;
    const sonde::DateContext december{.year = 2026, .month = 12};
    for (const Drop& d : drops) {
      const sonde::Level& lowest = d.sonde.levels.back();
      EXPECT_GE(lowest.height, kWaveCrest) << c.name << " " << d.sonde.id;
      // One half-second's fall near the sea, the fall speed there within 1 % of kSurfaceFallSpeed.
      EXPECT_LE(lowest.height, kWaveCrest + 0.5 * 1.01 * kSurfaceFallSpeed) << c.name << " " << d.sonde.id;
      squares += std::pow(lowest.wind.speed / d.truth.speed - 1.0, 2);
      ++count;
      const sonde::ReadResult temp = sonde::read_tempdrop(sonde::write_tempdrop(d.sonde), &december);
      ASSERT_EQ(temp.sondes.size(), 1u) << c.name << " " << d.sonde.id;
      const sonde::Sonde eol = sonde::read_eol(sonde::write_eol(d.sonde), eol_file_name(d.sonde));
      struct Form {
        const char* name;
        const sonde::Sonde& sonde;
        double speed, direction, position;  // the form's rounding: m/s, deg, deg
      };
      const Form forms[] = {{"TEMP DROP", temp.sondes[0], 0.5 * kMsPerKt, 2.5, 0.005},
                            {"EOL", eol, 0.005, 0.005, 1e-5}};
      for (const Form& form : forms) {
        const sonde::SurfaceEstimate e = sonde::estimate_surface_wind(form.sonde, sonde::default_reduction());
        const std::string what = std::string(c.name) + " " + d.sonde.id + " " + form.name;
        EXPECT_EQ(e.method, sonde::Method::kLowest) << what;
        EXPECT_NEAR(e.wind.speed, lowest.wind.speed, form.speed + 1e-9) << what;
        const double turn = std::remainder(e.wind.from_deg - lowest.wind.from_deg, 360.0);
        EXPECT_LE(std::fabs(turn), form.direction + 1e-9) << what;
        EXPECT_NEAR(form.sonde.splash.lat, d.sonde.splash.lat, form.position + 1e-9) << what;
        EXPECT_NEAR(form.sonde.splash.lon, d.sonde.splash.lon, form.position + 1e-9) << what;
      }
      const auto& l = d.sonde.levels;
      const double top = (l[0].height - l[1].height) / (l[1].time - l[0].time),
                   low = (l[l.size() - 3].height - l[l.size() - 2].height) / 0.5;
      EXPECT_GT(top, low) << c.name << " " << d.sonde.id;
      EXPECT_NEAR(low, kSurfaceFallSpeed, 0.3) << c.name << " " << d.sonde.id;
    }
  }
  const double rms = std::sqrt(squares / count);
  EXPECT_GT(rms, 0.5 * kTurbulenceIntensity) << count << " sondes";
  EXPECT_LT(rms, 2.0 * kTurbulenceIntensity) << count << " sondes";
}

}  // namespace
}  // namespace sfmr::sim

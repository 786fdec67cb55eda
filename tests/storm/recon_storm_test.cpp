// sfmrstorm on reconnaissance messages: the tool on a flight file and the same flight's HDOB archive
// together, its fix comparison against a computation of its own from the two files, and the HDOB evidence
// (the pressure minimum timing a hand-made pass, the flight-level wind placing a hand-made vortex); the
// report on an archive with a faulty message, and the fixes' evidence with the archive's pressure or
// flight-level wind blanked.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "recon/message_text.hpp"
#include "storm/evidence.hpp"

namespace {

namespace fs = std::filesystem;
const std::string kDir = SFMR_STORM_FLIGHT_DIR;

std::string slurp(const fs::path& p) {
  std::ifstream in(p);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// The fields of the CSV rows after the header.
std::vector<std::vector<std::string>> rows(const fs::path& p) {
  std::vector<std::vector<std::string>> out;
  std::istringstream in(slurp(p));
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) {
    std::vector<std::string> f;
    std::istringstream l(line);
    for (std::string x; std::getline(l, x, ',');) f.push_back(x);
    out.push_back(f);
  }
  return out;
}

double number(const std::string& s) {
  const auto v = sfmr::recon::decimal_value(s);
  EXPECT_TRUE(v.has_value()) << s;
  return v.value_or(NAN);
}

TEST(StormRecon, MixedHdobAndFlightWithFixes) {
  const int status =
      std::system(("cd " + kDir + " && " + SFMRSTORM_BINARY +
                   " pass.nc pass.hdob --fixes pass.vdm -o mixed --force 2>/dev/null >/dev/null")
                      .c_str());
  ASSERT_EQ(status, 0);
  const std::string report = slurp(kDir + "/mixed.storm.txt");
  EXPECT_NE(report.find("pass.hdob: "), std::string::npos) << report;
  EXPECT_NE(report.find("+ pressure minimum"), std::string::npos) << report;
  EXPECT_EQ(slurp(kDir + "/mixed.fix_compare.csv").substr(0, 100),
            std::string("time,lat,lon,fix_time,fix_lat,fix_lon,fix_pressure_hpa,fix_accuracy_nmi,distance_km,"
                        "time_difference_s\n")
                .substr(0, 100));
  // The centres of the VDMs ("B. 26.00 deg N 084.98 deg W"), read here on their own.
  std::vector<std::pair<double, double>> vdm;
  std::istringstream in(slurp(kDir + "/pass.vdm"));
  for (std::string line; std::getline(in, line);)
    if (line.rfind("B. ", 0) == 0) {
      std::istringstream w(line.substr(3));
      std::string lat, deg, ns, lon, deg2, ew;
      w >> lat >> deg >> ns >> lon >> deg2 >> ew;
      vdm.emplace_back(number(lat) * (ns == "S" ? -1 : 1), number(lon) * (ew == "W" ? -1 : 1));
    }
  const auto compare = rows(kDir + "/mixed.fix_compare.csv");
  ASSERT_FALSE(compare.empty());
  for (const auto& r : compare) {
    ASSERT_EQ(r.size(), 10u);
    bool found = false;
    for (const auto& [la, lo] : vdm) {
      if (std::fabs(la - number(r[4])) > 1e-9 || std::fabs(lo - number(r[5])) > 1e-9) continue;
      found = true;
      // Haversine on the mean earth radius (6371.0 km): the comparison's own sphere to 0.01 %; the fix's
      // position in the file is rounded to 0.0001 deg, which moves the distance by up to 7.5 m.
      const double rad = std::numbers::pi / 180.0, la1 = number(r[1]) * rad, la2 = la * rad;
      const double h = std::pow(std::sin((la2 - la1) / 2), 2) +
                       std::cos(la1) * std::cos(la2) * std::pow(std::sin((lo - number(r[2])) * rad / 2), 2);
      const double km = 2.0 * 6371.0 * std::asin(std::sqrt(h));
      EXPECT_NEAR(number(r[8]), km, 0.008 + 2e-4 * km) << r[0];
    }
    EXPECT_TRUE(found) << r[0] << " names no fix of pass.vdm";
  }
}

// The flight file and the HDOB archive of one mission see the same eye crossing: one pass, not two 8 s
// apart whose "motion" would come out at 20 m/s; one pass leaves the motion to the still-storm prior
// (within 7 m/s).
TEST(StormRecon, OneCrossingSeenByTwoInputsIsOnePass) {
  struct Case {
    const char* name;
    const char* inputs;
  };
  const Case cases[] = {
      {"flight file", "pass.nc"}, {"HDOB archive", "pass.hdob"}, {"both", "pass.nc pass.hdob"}};
  for (const Case& c : cases) {
    const std::string cmd = "cd " + kDir + " && " + SFMRSTORM_BINARY + " " + c.inputs + " -o once --force";
    ASSERT_EQ(std::system((cmd + " 2>/dev/null >/dev/null").c_str()), 0) << c.name;
    const auto fixes = rows(kDir + "/once.centres.csv");
    ASSERT_EQ(fixes.size(), 1u) << c.name;
    const std::string report = slurp(kDir + "/once.storm.txt"), at = " m/s (",
                      lead = "Storm motion: towards ";
    const std::size_t end = report.find(at, report.find(lead)), begin = report.rfind(' ', end - 1) + 1;
    EXPECT_LE(number(report.substr(begin, end - begin)), 7.0) << c.name << "\n" << report;
  }
}

TEST(StormRecon, BadReconInputRefusedWithNothingWritten) {
  // pass.hdob's missions moved to another storm, and a file of neither format.
  std::string other = slurp(kDir + "/pass.hdob");
  for (std::size_t at = other.find(" 0199A"); at != std::string::npos; at = other.find(" 0199A", at))
    other.replace(at, 6, " 0205A");
  std::ofstream(kDir + "/other_storm.hdob") << other;
  std::ofstream(kDir + "/neither.txt") << "hello\n";
  struct Case {
    const char* name;
    const char* args;
    const char* message;
  };
  const Case cases[] = {
      {"missions of two storms", "pass.hdob other_storm.hdob -o r1", "HDOB missions of several storms: 05A"},
      {"vortex data messages as a flight", "pass.vdm -o r2", "pass.vdm: vortex data messages, not a flight"},
      {"neither format", "neither.txt -o r3", "neither.txt: not a netCDF file"},
      {"fixes of neither format", "pass.hdob --fixes neither.txt -o r4",
       "neither.txt: not a file of vortex data messages or an ATCF f-deck"},
  };
  for (const Case& c : cases) {
    const std::string err = kDir + "/recon_err.txt";
    const int status = std::system(
        ("cd " + kDir + " && " + SFMRSTORM_BINARY + " " + c.args + " 2>" + err + " >/dev/null").c_str());
    EXPECT_NE(status, 0) << c.name;
    EXPECT_NE(slurp(err).find(c.message), std::string::npos) << c.name << ": " << slurp(err);
    const std::string prefix = std::string(c.args).substr(std::string(c.args).find("-o ") + 3);
    EXPECT_FALSE(fs::exists(kDir + "/" + prefix + ".storm.txt")) << c.name;
  }
}

// The lines of a file, and a file written from lines.
std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

void write_lines(const fs::path& p, const std::vector<std::string>& lines) {
  std::ofstream out(p);
  for (const std::string& l : lines) out << l << "\n";
}

// sfmrstorm on an archive of kDir, its report (empty when it fails).
std::string storm_report(const std::string& archive, const std::string& prefix) {
  const int status = std::system(("cd " + kDir + " && " + SFMRSTORM_BINARY + " " + archive + " -o " + prefix +
                                  " --force 2>/dev/null >/dev/null")
                                     .c_str());
  EXPECT_EQ(status, 0) << archive;
  return status == 0 ? slurp(kDir + "/" + prefix + ".storm.txt") : std::string();
}

TEST(StormRecon, FaultyHdobMessageCountedAndNamed) {
  const std::vector<std::string> sound = lines_of(slurp(kDir + "/pass.hdob"));
  // The third message's second observation line is broken; the other messages stay sound.
  std::size_t heading = 0;
  for (int seen = 0; heading < sound.size(); ++heading)
    if (sound[heading].rfind("URNT15", 0) == 0 && ++seen == 3) break;
  ASSERT_LT(heading + 3, sound.size());
  const std::size_t broken = heading + 3;  // heading, mission line, first observation line
  struct Case {
    const char* name;
    std::string (*edit)(std::string);
    const char* fault;
  };
  const Case cases[] = {
      {"a letter in the pressure", [](std::string l) { return l.replace(33, 1, "X"); },
       "field 6 '97X1' is not 4 digits or slashes"},
      {"a field short", [](std::string l) { return l.substr(0, l.rfind(' ')); },
       "observation line has 12 fields, not 13"},
      {"minute 61", [](std::string l) { return l.replace(2, 2, "61"); },
       "field 1 '236100' is not a time hhmmss"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> text = sound;
    text[broken] = c.edit(text[broken]);
    write_lines(kDir + "/broken.hdob", text);
    const std::string report = storm_report("broken.hdob", "broken");
    const std::string named = "  left out: broken.hdob: " + sound[heading] + " (HDOB 03), line " +
                              std::to_string(broken + 1) + ": " + c.fault;
    EXPECT_NE(report.find("broken.hdob: 5 HDOB messages, 99 lines; 1 faulty messages left out;"),
              std::string::npos)
        << c.name << "\n"
        << report;
    EXPECT_NE(report.find(named), std::string::npos) << c.name << "\n" << report;
    // The message left out as faulty is no gap in the numbers as well.
    EXPECT_NE(report.find(", missing 0\n"), std::string::npos) << c.name << "\n" << report;
  }
}

// With a leg's pressure (extrapolated, field 6) or flight-level wind (field 9) all slashes, the fixes stand
// on the evidence left.
TEST(StormRecon, FixEvidenceFollowsTheHdobFields) {
  struct Case {
    const char* name;
    bool blank_pressure, blank_wind;
    const char* evidence;
  };
  const Case cases[] = {
      {"both present", false, false, "surface wind + pressure minimum + flight-level wind"},
      {"pressure blanked", true, false, "surface wind + flight-level wind"},
      {"wind blanked", false, true, "surface wind + pressure minimum"},
      {"both blanked", true, true, "surface wind"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> text = lines_of(slurp(kDir + "/pass.hdob"));
    for (std::string& l : text) {
      std::istringstream w(l);
      std::vector<std::string> f;
      for (std::string x; w >> x;) f.push_back(x);
      if (f.size() != 13 || f[0].size() != 6) continue;
      if (c.blank_pressure) f[5] = "////";
      if (c.blank_wind) f[8] = "//////";
      l = f[0];
      for (std::size_t i = 1; i < f.size(); ++i) l += " " + f[i];
    }
    write_lines(kDir + "/blanked.hdob", text);
    const std::vector<std::string> report = lines_of(storm_report("blanked.hdob", "blanked"));
    auto at = std::find(report.begin(), report.end(), "Evidence placing each fix:");
    ASSERT_NE(at, report.end()) << c.name;
    int fixes = 0;
    for (++at; at != report.end() && at->rfind("  20", 0) == 0; ++at, ++fixes)
      EXPECT_EQ(at->substr(at->find("Z  ") + 3), c.evidence) << c.name << ": " << *at;
    EXPECT_GT(fixes, 0) << c.name;
  }
}

// A straight pass east at 130 m/s through a pressure bowl and a solid-body vortex centred at tc, missing the
// centre by `miss` km to its north; values rounded as the code transmits them.
TEST(StormRecon, EvidenceTimesTheHandMadePass) {
  struct Case {
    const char* name;
    double tc, miss_km, spacing_s;
    bool expect_pressure;
  };
  const Case cases[] = {
      {"through the centre", 1000.0, 0.0, 30.0, true},
      {"between lines, 4 km miss", 1012.0, 4.0, 30.0, true},
      {"60-s lines", 1040.0, 2.0, 60.0, true},
      {"centre at the end of the lines", 1500.0, 0.0, 30.0, false},
  };
  for (const Case& c : cases) {
    sfmr::storm::HdobLines l;
    const double speed_kms = 0.13;
    for (double t = 700.0; t <= 1400.0; t += c.spacing_s) {
      const double x = speed_kms * (t - c.tc), y = -c.miss_km;  // aircraft relative to the centre, km
      const double r = std::hypot(x, y);
      l.t.push_back(t);
      l.lat.push_back(NAN);
      l.lon.push_back(NAN);
      l.surface_pressure_hpa.push_back(std::round((950.0 + 0.02 * r * r) * 10.0) / 10.0);
    }
    const double t0 = std::min(c.tc, 1400.0);
    const auto p = sfmr::storm::pressure_minimum_time(l, t0);
    EXPECT_EQ(std::isfinite(p.time), c.expect_pressure) << c.name;
    if (c.expect_pressure) {
      EXPECT_NEAR(p.time, c.tc, std::max(3.0 * p.sigma, 2.0)) << c.name;
    }
  }
}

// The 30-s lines of a straight pass at 130 m/s through a moving Rankine-like vortex centred at the plane's
// origin at t = 0 (Vmax 50 m/s at 30 km, cyclonic for the hemisphere of `lat`, with an inflow angle), its
// earth-relative wind the vortex's plus the motion (u, v m/s), sent as whole knots and degrees; the centre
// `miss_km` to the right of the pass heading `heading_deg` (storm-relative).
sfmr::storm::HdobLines vortex_lines(const sfmr::storm::Plane& plane, double heading_deg, double miss_km,
                                    double inflow_deg, double u_ms, double v_ms) {
  constexpr double kDeg = std::numbers::pi / 180.0, kKt = 0.514444, kSpeed = 0.13;  // km/s
  const double h = plane.lat0 >= 0.0 ? 1.0 : -1.0;
  const double ex = std::sin(heading_deg * kDeg), ey = std::cos(heading_deg * kDeg);
  sfmr::storm::HdobLines l;
  for (double t = -570.0; t <= 570.0; t += 30.0) {
    const double qx = kSpeed * t * ex - miss_km * ey, qy = kSpeed * t * ey + miss_km * ex;  // from the centre
    const double r = std::hypot(qx, qy);
    const double vortex = r < 30.0 ? 50.0 * r / 30.0 : 50.0 * std::sqrt(30.0 / r);
    const double angle = std::atan2(qy, qx) + h * (0.5 * std::numbers::pi + inflow_deg * kDeg);
    const double u = vortex * std::cos(angle) + u_ms, v = vortex * std::sin(angle) + v_ms;
    double lat = 0.0, lon = 0.0;
    plane.to_latlon(qx + u_ms * t / 1000.0, qy + v_ms * t / 1000.0, lat, lon);
    l.t.push_back(t);
    l.lat.push_back(lat);
    l.lon.push_back(lon);
    l.surface_pressure_hpa.push_back(NAN);
    l.wind_ms.push_back(std::round(std::hypot(u, v) / kKt) * kKt);
    l.wind_from_deg.push_back(std::fmod(std::round(std::atan2(-u, -v) / kDeg) + 360.0, 360.0));
  }
  return l;
}

// The hand-made vortex's lines, the first guess 3 km off: the flight-level wind places the centre at the
// pass's time within 100 m (the whole degrees and knots), with an inflow not the prior's.
TEST(StormRecon, FlightLevelWindPlacesTheHandMadeVortex) {
  struct Case {
    const char* name;
    double lat;          // deg
    double heading_deg;  // the pass's, storm-relative
    double miss_km;      // the centre to the right of the pass
    double inflow_deg;   // the vortex's
    double u_ms, v_ms;   // the storm's motion, m/s east and north
  };
  const Case cases[] = {
      {"through the centre, still", 26.0, 270.0, 0.0, 5.0, 0.0, 0.0},
      {"8 km miss, moving north-west", 26.0, 180.0, 8.0, 12.0, -4.0, 5.0},
      {"3 km miss left, fast east", 18.0, 45.0, -3.0, 0.0, 9.0, 0.0},
      {"southern hemisphere, 5 km miss", -15.0, 300.0, 5.0, 8.0, -3.0, -2.0},
  };
  for (const Case& c : cases) {
    const sfmr::storm::Plane plane = sfmr::storm::Plane::at(c.lat, -70.0);
    const sfmr::storm::HdobLines l =
        vortex_lines(plane, c.heading_deg, c.miss_km, c.inflow_deg, c.u_ms, c.v_ms);
    const sfmr::storm::WindCentre w = sfmr::storm::flight_level_wind_centre(
        l, plane, 0.0, 2.0, -2.2, c.u_ms / 1000.0, c.v_ms / 1000.0, 0.0, sfmr::storm::kWindReachKm);
    ASSERT_TRUE(w.found) << c.name;
    // Across the track always; along it where the pass misses (through the centre the directions only
    // tell which lines lie before it, and the fit says so with a wide error along the track).
    const double ex = std::sin(c.heading_deg * std::numbers::pi / 180.0);
    const double ey = std::cos(c.heading_deg * std::numbers::pi / 180.0);
    const double across = w.x * ey - w.y * ex, along = w.x * ex + w.y * ey;
    const double along_sigma = std::sqrt(ex * ex * w.cov[0] + 2.0 * ex * ey * w.cov[1] + ey * ey * w.cov[2]);
    EXPECT_LT(std::fabs(across), 0.1) << c.name << ": at " << w.x << ", " << w.y;
    if (c.miss_km != 0.0)
      EXPECT_LT(std::fabs(along), 0.1) << c.name << ": at " << w.x << ", " << w.y;
    else
      EXPECT_GT(along_sigma, std::fabs(along)) << c.name << ": at " << w.x << ", " << w.y;
    EXPECT_NEAR(w.inflow_deg, c.inflow_deg, 1.0) << c.name;
  }
}

// A pass's fix and the hand-made vortex's wind centre (5 km miss, heading west, a still storm): combined by
// their covariances when they agree, the wind's alone when the fix is far off with a small stated error (a
// dip on another feature), the fix alone without lines.
TEST(StormRecon, FlightLevelWindCombinesWithTheFix) {
  struct Case {
    const char* name;
    double fix_x, fix_y;  // km from the true centre
    double fix_sigma_km;  // its stated error in each direction
    bool lines;
    const char* evidence;
    double within_km;    // of the true centre afterwards
    double accuracy_km;  // the stated accuracy afterwards at most (0: left as it was, 0)
  };
  const Case cases[] = {
      {"agreeing, 1.5 km off", 0.5, 1.4, 1.5, true, "surface wind + flight-level wind", 0.3, 2.1},
      {"a far dip stated tight", 14.0, -6.0, 0.4, true, "flight-level wind", 0.1, 1.5},
      {"no lines", 0.5, 1.4, 1.5, false, "surface wind", 1.5, 0.0},
      // The analysis's widened 20 km: along the pass its own time (and the held peaks' blur) decide.
      {"a fix stated wide", 0.5, 1.4, 20.0, true, "surface wind + flight-level wind", 0.3, 0.6},
  };
  for (const Case& c : cases) {
    sfmr::storm::Analysis an;
    an.plane = sfmr::storm::Plane::at(26.0, -70.0);
    an.motion.x0 = c.fix_x, an.motion.y0 = c.fix_y;
    an.motion.cov[0][0] = an.motion.cov[1][1] = c.fix_sigma_km * c.fix_sigma_km;
    sfmr::storm::Pass p;
    p.vx = -0.13;  // heading west at 130 m/s, km/s
    an.plane.to_latlon(c.fix_x, c.fix_y, p.lat, p.lon);
    an.passes.push_back(p);
    const sfmr::storm::HdobLines l = vortex_lines(an.plane, 270.0, 5.0, 5.0, 0.0, 0.0);
    sfmr::storm::place_by_flight_level_wind(an, {c.lines ? &l : nullptr});
    const sfmr::storm::Pass& q = an.passes.front();
    double x = 0.0, y = 0.0;
    an.plane.to_xy(q.lat, q.lon, x, y);
    EXPECT_EQ(q.evidence, c.evidence) << c.name;
    EXPECT_LT(std::hypot(x, y), c.within_km) << c.name << ": at " << x << ", " << y;
    EXPECT_LE(q.accuracy_km, c.accuracy_km) << c.name << " states " << q.accuracy_km;
    EXPECT_EQ(q.accuracy_km > 0.0, c.accuracy_km > 0.0) << c.name;
  }
}

// The wind centre's covariance is the sum of its causes' (the directions', the track's, the motion's), and
// the motion's share grows with the square of the motion's error: none for a motion known exactly, four
// times as much for twice the error (within the fit's nonlinearity), on a pass 8 km from a moving centre.
TEST(StormRecon, FlightLevelWindCovarianceByCause) {
  struct Case {
    const char* name;
    double motion_sigma;  // m/s
    double ratio;         // motion share over that of 0.5 m/s (0: none)
  };
  const Case cases[] = {{"motion exact", 0.0, 0.0}, {"0.5 m/s", 0.5, 1.0}, {"1 m/s", 1.0, 4.0}};
  const sfmr::storm::Plane plane = sfmr::storm::Plane::at(26.0, -70.0);
  const sfmr::storm::HdobLines l = vortex_lines(plane, 180.0, 8.0, 12.0, -4.0, 5.0);
  auto centre = [&](double sigma) {
    return sfmr::storm::flight_level_wind_centre(l, plane, 0.0, 2.0, -2.2, -0.004, 0.005, sigma,
                                                 sfmr::storm::kWindReachKm);
  };
  const sfmr::storm::WindCentre half = centre(0.5);
  ASSERT_TRUE(half.found);
  const double half_share = half.motion_cov[0] + half.motion_cov[2];
  ASSERT_GT(half_share, 0.0);
  for (const Case& c : cases) {
    const sfmr::storm::WindCentre w = centre(c.motion_sigma);
    ASSERT_TRUE(w.found) << c.name;
    for (std::size_t k = 0; k < 3; ++k)
      EXPECT_NEAR(w.cov[k], w.fit_cov[k] + w.track_cov[k] + w.motion_cov[k], 1e-12)
          << c.name << " term " << k;
    EXPECT_NEAR((w.motion_cov[0] + w.motion_cov[2]) / half_share, c.ratio, 0.15 * c.ratio + 1e-9) << c.name;
  }
}

// The centre moved onto the fixes the flight-level wind placed: at each such fix its offset from the
// fitted track, between two fixes their offsets interpolated (a fix of the fit itself on the track), before
// the first and after the last held.
TEST(StormRecon, CentreFollowsTheWindFixes) {
  struct Case {
    const char* name;
    double t;               // s
    double want_x, want_y;  // km: the still fitted centre at the origin plus the offset
  };
  const Case cases[] = {
      {"before the first", -500.0, 1.0, 0.0},
      {"at the first", 0.0, 1.0, 0.0},
      {"halfway", 500.0, 0.0, -1.0},
      {"at the second", 1000.0, -1.0, -2.0},
      {"towards a fix of the fit", 1500.0, -0.5, -1.0},
      {"after the last", 3000.0, 0.0, 0.0},
  };
  sfmr::storm::Analysis an;
  an.plane = sfmr::storm::Plane::at(26.0, -70.0);
  an.centre_from_flight = true;
  an.centre = [](double, double& lat, double& lon) { lat = 26.0, lon = -70.0; };
  struct Fix {
    double t, x, y;
    const char* evidence;
  };
  for (const Fix& f : {Fix{1000.0, -1.0, -2.0, "surface wind + flight-level wind"},
                       Fix{0.0, 1.0, 0.0, "flight-level wind"}, Fix{2000.0, 0.0, 0.0, "surface wind"}}) {
    sfmr::storm::Pass p;
    p.time = f.t, p.evidence = f.evidence;
    an.plane.to_latlon(f.x, f.y, p.lat, p.lon);
    an.passes.push_back(p);
  }
  sfmr::storm::recentre_on_wind_fixes(an, {});
  for (const Case& c : cases) {
    double lat = 0.0, lon = 0.0, x = 0.0, y = 0.0;
    an.centre(c.t, lat, lon);
    an.plane.to_xy(lat, lon, x, y);
    EXPECT_NEAR(x, c.want_x, 1e-6) << c.name;
    EXPECT_NEAR(y, c.want_y, 1e-6) << c.name;
  }
}

}  // namespace

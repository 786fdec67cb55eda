// The vortex data message reader on the layout since 2018, the oddities of files of several messages, the
// faults it must name, and writer -> reader round trips.
#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <string>

#include "recon/message_text.hpp"
#include "recon/vdm.hpp"

namespace sfmr::recon {
namespace {

// A message with the items of the layout since 2018; `a`, `b`, `d` replace the fix time, centre and pressure.
std::string vdm(const std::string& a = "23/11:36:40Z", const std::string& b = "29.63 deg N 092.45 deg W",
                const std::string& d = "999 mb") {
  return "URNT12 KNHC 231314\n"
         "VORTEX DATA MESSAGE   AL022026\n"
         "A. " +
         a + "\nB. " + b + "\nC. 700 mb 3077 m\nD. " + d +
         "\nE. 080 deg 9 kt\nF. CLOSED\nG. C15\n"
         "H. 45 kt\nI. 331 deg 39 nm 11:20:35Z\nJ. 090 deg 51 kt\nK. 349 deg 35 nm 11:19:00Z\nL. NA\nM. NA\n"
         "N. 240 deg 60 kt\nO. 150 deg 20 nm 11:50:10Z\nP. 10 C / 3050 m\nQ. 15 C / 3048 m\nR. 10 C / NA\n"
         "S. 1345 / 8\nT. 0.02 / 3 nm\nU. AF305 0701C LALA    OB 04\n"
         "MAX FL WIND 51 KT 349 / 95 NM 20:19:00Z\nSLP EXTRAP FROM 850 MB\n$$\n;\n";
}

// 2026-07-23 12:00 UTC, s since 1970: the reference of the July storm.
constexpr double k20260723T12 = 1784808000.0;

TEST(Vdm, ReadsTheMessagesOfAFile) {
  struct Case {
    const char* name;
    std::string text;
    double reference;
    std::size_t fixes;
    const char* first_time;
    double lat, lon, pressure_hpa, accuracy_nmi, eye_nmi;  // of the first fix
  };
  const Case cases[] = {
      {"one message", vdm(), k20260723T12, 1, "2026-07-23T11:36:40Z", 29.63, -92.45, 999, 3, 15},
      {"two out of order, communications lines around",
       "000\n" + vdm("23/13:02:10Z", "29.90 deg N 092.80 deg W", "EXTRAP 997 mb") + "NNNN\n" + vdm(),
       k20260723T12, 2, "2026-07-23T11:36:40Z", 29.63, -92.45, 999, 3, 15},
      {"a fix on the last day of the month before the reference",
       vdm("31/23:10:00Z", "10.50 deg S 160.25 deg E"), k20260723T12 + 9 * 86400.0, 1, "2026-07-31T23:10:00Z",
       -10.5, 160.25, 999, 3, 15},
      {"a fix on the first of the next month", vdm("01/00:40:00Z"), k20260723T12 + 8 * 86400.0, 1,
       "2026-08-01T00:40:00Z", 29.63, -92.45, 999, 3, 15},
      {"the same fix sent twice, corrected", vdm() + vdm("23/11:36:40Z", "29.64 deg N 092.45 deg W"),
       k20260723T12, 1, "2026-07-23T11:36:40Z", 29.64, -92.45, 999, 3, 15},
      {"pressure not given", vdm("23/11:36:40Z", "29.63 deg N 092.45 deg W", "NA"), k20260723T12, 1,
       "2026-07-23T11:36:40Z", 29.63, -92.45, std::nan(""), 3, 15},
  };
  auto same = [](double got, double want) {
    return std::isnan(want) ? std::isnan(got) : std::fabs(got - want) < 1e-9;
  };
  for (const Case& c : cases) {
    const auto fixes = read_vdm(c.text, "v.txt", c.reference);
    ASSERT_EQ(fixes.size(), c.fixes) << c.name;
    const VortexFix& f = fixes.front();
    EXPECT_EQ(iso_time(f.time), c.first_time) << c.name;
    EXPECT_TRUE(same(f.lat, c.lat) && same(f.lon, c.lon)) << c.name << ": " << f.lat << ' ' << f.lon;
    EXPECT_TRUE(same(f.pressure_hpa, c.pressure_hpa)) << c.name;
    EXPECT_TRUE(same(f.meteorological_accuracy_nmi, c.accuracy_nmi)) << c.name;
    EXPECT_TRUE(same(f.eye_diameter_nmi, c.eye_nmi)) << c.name;
    for (std::size_t i = 1; i < fixes.size(); ++i) EXPECT_LT(fixes[i - 1].time, fixes[i].time) << c.name;
  }
}

TEST(Vdm, RefusesAFileNamingTheMessageAndItem) {
  struct Case {
    const char* name;
    std::string text;
    const char* error;
  };
  std::string old_layout =
      "URNT12 KNHC 231314\nVORTEX DATA MESSAGE   AL022006\nA. 23/11:36:40Z\n"
      "B. 29 deg 38 min N 092 deg 27 min W\nC. 700 mb 3077 m\nP. AF305 0701C LALA OB 04\n$$\n";
  std::string other = vdm();
  other.replace(other.find("F. CLOSED"), 9, "F. CLOSED\nZZ TOP");
  const Case cases[] = {
      {"an item that does not parse", vdm("23/11:36:40Z", "29.63 deg N 092.45 deg W", "999 xx"),
       "v.txt: URNT12 KNHC 231314 (VORTEX DATA MESSAGE AL022026), line 6: item D. '999 xx' does not parse"},
      {"a fix time that does not parse", vdm("23/25:36:40Z"),
       "line 3: item A. '23/25:36:40Z' does not parse"},
      {"a centre out of range", vdm("23/11:36:40Z", "95.00 deg N 092.45 deg W"), "line 4: item B."},
      {"the layout before 2018", old_layout, "line 4: a vortex data message of the layout before 2018"},
      {"a line among the items that is none", other, "line 9: line is not an item A. to U."},
      {"none of the formats", "hello\n", "v.txt: holds no vortex data message"},
      {"a heading without a body", "URNT12 KNHC 231314\n$$\n", "line 1: heading without a body"},
  };
  for (const Case& c : cases) {
    try {
      read_vdm(c.text, "v.txt", k20260723T12);
      ADD_FAILURE() << c.name << ": read";
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find(c.error), std::string::npos) << c.name << ": " << e.what();
    }
  }
}

TEST(Vdm, WriterAndReaderRoundTrip) {
  const VortexFix read = read_vdm(vdm(), "v.txt", k20260723T12).front();
  VortexFix south = read;
  south.lat = -15.29, south.lon = 165.81, south.pressure_extrapolated = true, south.eye_shape = "E09/30/20";
  south.eye_diameter_nmi = 30, south.sonde_wind_kt = std::nan(""), south.heading.clear();
  const struct {
    const char* name;
    VortexFix fix;
  } cases[] = {{"the message as read", read}, {"south, east, extrapolated, elliptical eye", south}};
  for (const auto& c : cases) {
    const VortexFix g = read_vdm(write_vdm(c.fix), "rt.txt", k20260723T12).front();
    const VortexFix& w = c.fix;
    auto same = [](double a, double b) { return std::isnan(b) ? std::isnan(a) : std::fabs(a - b) < 1e-9; };
    EXPECT_EQ(g.time, w.time) << c.name;
    EXPECT_TRUE(same(g.lat, w.lat) && same(g.lon, w.lon)) << c.name;
    EXPECT_TRUE(same(g.pressure_hpa, w.pressure_hpa) && g.pressure_extrapolated == w.pressure_extrapolated)
        << c.name;
    EXPECT_TRUE(same(g.sonde_wind_kt, w.sonde_wind_kt) && same(g.eye_diameter_nmi, w.eye_diameter_nmi))
        << c.name;
    for (auto [a, b] : {std::pair{&g.surface_inbound, &w.surface_inbound},
                        {&g.flight_level_inbound, &w.flight_level_inbound},
                        {&g.surface_outbound, &w.surface_outbound},
                        {&g.flight_level_outbound, &w.flight_level_outbound}})
      EXPECT_TRUE(same(a->speed_kt, b->speed_kt) && same(a->bearing_deg, b->bearing_deg) &&
                  same(a->range_nmi, b->range_nmi) && same(a->second_of_day, b->second_of_day) &&
                  same(a->direction_deg, b->direction_deg))
          << c.name;
    EXPECT_TRUE(same(g.temperature_inside_c, w.temperature_inside_c) && same(g.dew_point_c, w.dew_point_c) &&
                same(g.sea_surface_temperature_c, w.sea_surface_temperature_c))
        << c.name;
    EXPECT_TRUE(same(g.navigational_accuracy_nmi, w.navigational_accuracy_nmi) &&
                same(g.meteorological_accuracy_nmi, w.meteorological_accuracy_nmi))
        << c.name;
    EXPECT_EQ(g.aircraft + g.mission + g.storm_name + std::to_string(g.observation), "AF3050701CLALA4")
        << c.name;
    EXPECT_EQ(g.remarks, w.remarks) << c.name;
  }
}

}  // namespace
}  // namespace sfmr::recon

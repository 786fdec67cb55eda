// The converted simulated flight read back through the netCDF library and compared with the text of its
// output file, column by column (the text is split here on its own, not by the converter's reader).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "core/text.hpp"
#include "netcdf/nc_support.hpp"

namespace sfmr::testing {
namespace {

const std::filesystem::path kFlight = SFMR_NC_FLIGHT_DIR;

std::vector<std::vector<std::string>> out_columns() {
  std::ifstream in(kFlight / "rt.OUT", std::ios::binary);
  std::vector<std::vector<std::string>> rows;
  std::string line;
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<std::string> cols;
    std::istringstream s(line);
    for (std::string c; std::getline(s, c, ',');) cols.push_back(c);
    rows.push_back(cols);
  }
  return rows;
}

bool asterisks(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c == '*'; });
}

// Where a variable may hold _FillValue besides a column of asterisks.
enum class FillRule { AsteriskOnly, NoRetrieval, BeforeOnboard };

TEST(Sfmr2ncRoundTrip, EveryValueEqualsTheText) {
  const auto rows = out_columns();
  ASSERT_GT(rows.size(), 1000u);
  const NcReader nc((kFlight / "rt.nc").string());

  // The onboard columns of a run before its first onboard record.
  std::size_t first_onboard = 0;
  while (first_onboard < rows.size() && rows[first_onboard][24] == "  0.00" &&
         rows[first_onboard][25] == "  0.00" && rows[first_onboard][26] == "  0.00" &&
         rows[first_onboard][27] == "F012345   ")
    ++first_onboard;
  ASSERT_GT(first_onboard, 0u) << "the flight should begin before its first onboard record";

  struct Case {
    const char* var;
    int column;  // 0-based column of the output file
    int w, d;    // its format; d < 0 for an integer column
    FillRule fill;
  };
  const Case cases[] = {
      {"lat", 1, 7, 3, FillRule::AsteriskOnly},
      {"lon", 2, 8, 3, FillRule::AsteriskOnly},
      {"height", 3, 5, -1, FillRule::AsteriskOnly},
      {"air_temperature", 4, 5, 1, FillRule::AsteriskOnly},
      {"flight_level_wind_speed", 5, 6, 2, FillRule::AsteriskOnly},
      {"roll", 6, 6, 2, FillRule::AsteriskOnly},
      {"pitch", 7, 6, 2, FillRule::AsteriskOnly},
      {"sst", 8, 6, 2, FillRule::AsteriskOnly},
      {"th2", 15, 6, 2, FillRule::AsteriskOnly},
      {"th6", 19, 6, 2, FillRule::AsteriskOnly},
      {"wind_speed", 20, 6, 2, FillRule::NoRetrieval},
      {"rain_rate", 21, 6, 2, FillRule::NoRetrieval},
      {"quality", 22, 6, 2, FillRule::NoRetrieval},
      {"onboard_wind_speed", 24, 6, 2, FillRule::BeforeOnboard},
      {"onboard_rain_rate", 25, 6, 2, FillRule::BeforeOnboard},
      {"onboard_quality", 26, 6, 2, FillRule::BeforeOnboard},
  };
  std::map<std::string, int> fills;
  for (const Case& c : cases) {
    const std::vector<float> v = nc.values<float>(c.var);
    ASSERT_EQ(v.size(), rows.size()) << c.var;
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const std::string& text = rows[i][static_cast<std::size_t>(c.column)];
      const std::string& err = rows[i][23];
      const bool retrieval = err[0] == 'F' || err == "ZeroWS&RR ";
      bool may_fill = asterisks(text);
      if (c.fill == FillRule::NoRetrieval) may_fill = may_fill || !retrieval;
      if (c.fill == FillRule::BeforeOnboard) may_fill = may_fill || i < first_onboard;
      if (v[i] == NC_FILL_FLOAT) {
        ++fills[c.var];
        EXPECT_TRUE(may_fill) << c.var << " line " << i + 2 << " is fill, text '" << text << "'";
      } else {
        EXPECT_FALSE(may_fill) << c.var << " line " << i + 2 << " should be fill, text '" << text << "'";
        const std::string back =
            c.d < 0 ? format_I(static_cast<std::int64_t>(v[i]), c.w) : format_F(v[i], c.w, c.d);
        EXPECT_EQ(back, text) << c.var << " line " << i + 2;
      }
    }
  }
  // The flight has seconds without a retrieval and a column of asterisks.
  EXPECT_GT(fills["wind_speed"], 0);
  EXPECT_GT(fills["air_temperature"], 0);

  const std::vector<float> tb = nc.values<float>("tb");
  ASSERT_EQ(tb.size(), rows.size() * 6);
  for (std::size_t i = 0; i < rows.size(); ++i)
    for (std::size_t k = 0; k < 6; ++k)
      EXPECT_EQ(format_F(tb[i * 6 + k], 6, 2), rows[i][9 + k]) << "tb line " << i + 2 << " channel " << k;
}

TEST(Sfmr2ncRoundTrip, TimesRunAcrossMidnightFromTheRawDate) {
  const auto rows = out_columns();
  const NcReader nc((kFlight / "rt.nc").string());
  const std::vector<double> time = nc.values<double>("time");
  ASSERT_EQ(time.size(), rows.size());
  int crossings = 0;
  for (std::size_t i = 0; i < time.size(); ++i) {
    std::int32_t h = -1, m = -1, s = -1;
    const std::string& clock = rows[i][0];
    ASSERT_TRUE(read_value(clock.substr(0, 2), &h) && read_value(clock.substr(3, 2), &m) &&
                read_value(clock.substr(6, 2), &s));
    const double sec = h * 3600 + m * 60 + s;
    EXPECT_EQ(std::fmod(time[i], 86400.0), sec) << "line " << i + 2;
    if (i > 0) {
      EXPECT_GT(time[i], time[i - 1]) << "line " << i + 2;
      if (std::floor(time[i] / 86400) > std::floor(time[i - 1] / 86400)) ++crossings;
    }
  }
  EXPECT_EQ(crossings, 1);

  // The date of the raw file's first aircraft record, DD/MM/YYYY in its second field.
  std::ifstream raw(kFlight / "rt.dat");
  std::string line;
  while (std::getline(raw, line) && line.rfind("%A,", 0) != 0) {
  }
  const std::string dmy = line.substr(3, 10);
  const std::string date = dmy.substr(6, 4) + "-" + dmy.substr(3, 2) + "-" + dmy.substr(0, 2);
  EXPECT_EQ(nc.text(nc.var("time"), "units"), "seconds since " + date + " 00:00:00");
  EXPECT_EQ(nc.text(NC_GLOBAL, "time_coverage_start"), date + "T" + rows.front()[0] + "Z");
}

// Flags decoded by their own attributes give back the status texts.
TEST(Sfmr2ncRoundTrip, FlagsDecodeToTheStatusTexts) {
  const auto rows = out_columns();
  const NcReader nc((kFlight / "rt.nc").string());
  struct Label {
    const char* meaning;
    const char* text;
  };
  struct Case {
    const char* var;
    const char* text_var;
    int column;
    const char* channel_word;  // meaning of a set channel bit
    bool set_removes_digit;
    std::vector<Label> labels;
  };
  const Case cases[] = {
      {"retrieval_status",
       "retrieval_status_text",
       23,
       "used",
       false,
       {{"big_roll", "BigRoll"},
        {"over_land", "OverLand"},
        {"no_data", "NoData"},
        {"no_solution", "NoSolution"},
        {"reference_temperature_error", "RefTempErr"},
        {"calm_zero_wind_and_rain", "ZeroWS&RR"}}},
      {"onboard_status",
       "onboard_status_text",
       27,
       "flagged",
       true,
       {{"no_data", " NoData"},
        {"no_auxiliary_data", " NoAuxData"},
        {"old_sst", " OldSST"},
        {"temperature_error", " TempErr"}}},
  };
  for (const Case& c : cases) {
    const int var = nc.var(c.var);
    const std::vector<short> masks = nc.shorts(var, "flag_masks");
    std::vector<std::string> meanings;
    std::istringstream m(nc.text(var, "flag_meanings"));
    for (std::string w; m >> w;) meanings.push_back(w);
    ASSERT_EQ(masks.size(), meanings.size()) << c.var;
    const std::vector<short> flags = nc.values<short>(c.var);
    const std::vector<char> texts = nc.values<char>(c.text_var);
    std::set<std::string> seen;
    for (std::size_t i = 0; i < rows.size(); ++i) {
      std::set<std::string> set;
      for (std::size_t b = 0; b < masks.size(); ++b)
        if ((flags[i] & masks[b]) == masks[b]) set.insert(meanings[b]);
      std::string text;
      for (const Label& l : c.labels)
        if (set.count(l.meaning)) text = l.text;
      if (text.empty()) {
        text = "F";
        for (int k = 0; k < 6; ++k) {
          const bool bit = set.count("channel_" + std::to_string(k) + "_" + c.channel_word) > 0;
          text += bit == c.set_removes_digit ? '-' : static_cast<char>('0' + k);
        }
      }
      if (set.count("marked")) text[0] = '*';
      text = fixed_text(text, 10);
      EXPECT_EQ(text, rows[i][static_cast<std::size_t>(c.column)]) << c.var << " line " << i + 2;
      EXPECT_EQ(std::string(texts.data() + i * 10, 10), rows[i][static_cast<std::size_t>(c.column)])
          << c.text_var;
      seen.insert(text);
    }
    EXPECT_GE(seen.size(), 3u) << c.var << ": the flight should show several status texts";
  }
}

// Every standard name exists in the CF table (not as an alias), in units convertible to its canonical ones.
TEST(Sfmr2ncRoundTrip, StandardNamesAndUnitsAgreeWithTheCfTable) {
  std::map<std::string, std::string> canonical;
  std::ifstream table(std::filesystem::path(SFMR_SOURCE_DIR) / "tests/data/cf/cf-standard-names-v83.tsv");
  for (std::string line; std::getline(table, line);) {
    if (line.empty() || line[0] == '#') continue;
    const std::size_t tab = line.find('\t');
    canonical[line.substr(0, tab)] = line.substr(tab + 1);
  }
  ASSERT_GT(canonical.size(), 4000u);
  // Units used here that differ from the canonical ones, with the canonical units they convert to.
  const std::set<std::pair<std::string, std::string>> conversions = {{"degree_Celsius", "K"},
                                                                     {"GHz", "s-1"},
                                                                     {"mm h-1", "m s-1"},
                                                                     {"degrees_north", "degree_north"},
                                                                     {"degrees_east", "degree_east"},
                                                                     {"seconds since", "s"}};
  const NcReader nc((kFlight / "rt.nc").string());
  int named = 0;
  for (const std::string& name : nc.variable_names()) {
    const int var = nc.var(name);
    EXPECT_FALSE(nc.text(var, "long_name").empty()) << name;
    const std::string units = nc.text(var, "units");
    EXPECT_FALSE(units.empty()) << name;
    const std::string standard = nc.text(var, "standard_name");
    if (standard.empty()) continue;
    ++named;
    const auto found = canonical.find(standard);
    ASSERT_NE(found, canonical.end()) << name << ": " << standard << " is not a CF standard name";
    EXPECT_EQ(found->second.rfind("alias of", 0), std::string::npos)
        << name << ": " << standard << " is an alias";
    const std::string u = units.rfind("seconds since", 0) == 0 ? "seconds since" : units;
    EXPECT_TRUE(u == found->second || conversions.count({u, found->second}))
        << name << ": units " << units << " for " << standard << " (canonical " << found->second << ")";
  }
  EXPECT_GE(named, 15);
}

}  // namespace
}  // namespace sfmr::testing

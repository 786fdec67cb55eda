// The converted simulated flight read back through the netCDF library and compared with the text of its
// output file, column by column (the text is split here on its own, not by the converter's reader).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "core/state.hpp"
#include "core/text.hpp"
#include "netcdf/nc_support.hpp"

namespace sfmr::testing {
namespace {

const std::filesystem::path kFlight = SFMR_NC_FLIGHT_DIR;

// The columns of every data line of the output file, and the converted file.
struct Flight {
  Flight() {
    std::ifstream in(kFlight / "rt.OUT", std::ios::binary);
    std::string line;
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
      std::istringstream s(line.substr(0, line.size() - 1));  // without the CR
      rows.emplace_back();
      for (std::string c; std::getline(s, c, ',');) rows.back().push_back(c);
    }
  }
  std::vector<std::vector<std::string>> rows;
  NcReader nc{(kFlight / "rt.nc").string()};
};

TEST(Sfmr2ncRoundTrip, EveryValueEqualsTheText) {
  const Flight f;
  ASSERT_GT(f.rows.size(), 1000u);
  // A run shows these onboard columns before its first onboard record.
  const std::vector<std::string> no_onboard = {"  0.00", "  0.00", "  0.00", "F012345   "};
  std::size_t first_onboard = 0;
  while (std::equal(no_onboard.begin(), no_onboard.end(), f.rows[first_onboard].begin() + 24))
    ++first_onboard;
  ASSERT_GT(first_onboard, 0u) << "the flight should begin before its first onboard record";

  enum Fill { kAsterisks, kNoRetrieval, kBeforeOnboard };  // where a variable may hold _FillValue
  struct Case {
    const char* var;
    std::size_t column;  // of the output file, 0-based
    int w, d;            // its format; d < 0 for an integer column
    Fill fill;
  };
  const Case cases[] = {
      {"lat", 1, 7, 3, kAsterisks},
      {"lon", 2, 8, 3, kAsterisks},
      {"height", 3, 5, -1, kAsterisks},
      {"air_temperature", 4, 5, 1, kAsterisks},
      {"flight_level_wind_speed", 5, 6, 2, kAsterisks},
      {"roll", 6, 6, 2, kAsterisks},
      {"pitch", 7, 6, 2, kAsterisks},
      {"sst", 8, 6, 2, kAsterisks},
      {"th2", 15, 6, 2, kAsterisks},
      {"th6", 19, 6, 2, kAsterisks},
      {"wind_speed", 20, 6, 2, kNoRetrieval},
      {"rain_rate", 21, 6, 2, kNoRetrieval},
      {"quality", 22, 6, 2, kNoRetrieval},
      {"onboard_wind_speed", 24, 6, 2, kBeforeOnboard},
      {"onboard_rain_rate", 25, 6, 2, kBeforeOnboard},
      {"onboard_quality", 26, 6, 2, kBeforeOnboard},
  };
  std::map<std::string, int> fills;
  for (const Case& c : cases) {
    const std::vector<float> v = f.nc.values<float>(c.var);
    ASSERT_EQ(v.size(), f.rows.size()) << c.var;
    for (std::size_t i = 0; i < v.size(); ++i) {
      const std::string& text = f.rows[i][c.column];
      const std::string& err = f.rows[i][23];
      bool may_fill = text.find_first_not_of('*') == std::string::npos;
      if (c.fill == kNoRetrieval) may_fill |= !(err[0] == 'F' || err == "ZeroWS&RR ");
      if (c.fill == kBeforeOnboard) may_fill |= i < first_onboard;
      const bool fill = v[i] == NC_FILL_FLOAT;
      fills[c.var] += fill;
      EXPECT_EQ(fill, may_fill) << c.var << " line " << i + 2 << ", text '" << text << "'";
      if (fill) continue;
      EXPECT_EQ(c.d < 0 ? format_I(std::lround(v[i]), c.w) : format_F(v[i], c.w, c.d), text)
          << c.var << " line " << i + 2;
    }
  }
  // The flight has seconds without a retrieval and a column of asterisks.
  EXPECT_GT(fills["wind_speed"], 0);
  EXPECT_GT(fills["air_temperature"], 0);

  const std::vector<float> tb = f.nc.values<float>("tb");
  ASSERT_EQ(tb.size(), f.rows.size() * 6);
  for (std::size_t i = 0; i < tb.size(); ++i)
    EXPECT_EQ(format_F(tb[i], 6, 2), f.rows[i / 6][9 + i % 6]) << "tb line " << i / 6 + 2;
}

TEST(Sfmr2ncRoundTrip, TimesRunAcrossMidnightFromTheRawDate) {
  const Flight f;
  const std::vector<double> time = f.nc.values<double>("time");
  ASSERT_EQ(time.size(), f.rows.size());
  int crossings = 0;
  for (std::size_t i = 0; i < time.size(); ++i) {
    std::int32_t h = -1, m = -1, s = -1;
    const std::string& clock = f.rows[i][0];
    ASSERT_TRUE(read_value(clock.substr(0, 2), &h) && read_value(clock.substr(3, 2), &m) &&
                read_value(clock.substr(6, 2), &s));
    EXPECT_EQ(std::fmod(time[i], 86400.0), h * 3600 + m * 60 + s) << "line " << i + 2;
    if (i > 0) {
      EXPECT_GT(time[i], time[i - 1]) << "line " << i + 2;
      crossings += std::floor(time[i] / 86400) > std::floor(time[i - 1] / 86400);
    }
  }
  EXPECT_EQ(crossings, 1);

  // The date of the raw file's first aircraft record, DD/MM/YYYY in its second field.
  std::ifstream raw(kFlight / "rt.dat");
  std::string line;
  while (std::getline(raw, line) && line.rfind("%A,", 0) != 0) {
  }
  const std::string date = line.substr(9, 4) + "-" + line.substr(6, 2) + "-" + line.substr(3, 2);
  EXPECT_EQ(f.nc.text(f.nc.var("time"), "units"), "seconds since " + date + " 00:00:00");
  EXPECT_EQ(f.nc.text(NC_GLOBAL, "time_coverage_start"), date + "T" + f.rows.front()[0] + "Z");
}

// The flags, decoded by their own flag_masks and flag_meanings, give back the status texts.
TEST(Sfmr2ncRoundTrip, FlagsDecodeToTheStatusTexts) {
  const Flight f;
  struct Case {
    const char* var;
    std::size_t column;
    const char* channel_word;  // a set channel bit means channel_K_WORD
    bool set_removes_digit;
    const char* labels;  // meaning=text pairs; '_' stands for a blank
  };
  const Case cases[] = {
      {"retrieval_status", 23, "used", false,
       "big_roll=BigRoll over_land=OverLand no_data=NoData no_solution=NoSolution "
       "reference_temperature_error=RefTempErr calm_zero_wind_and_rain=ZeroWS&RR"},
      {"onboard_status", 27, "flagged", true,
       "no_data=_NoData no_auxiliary_data=_NoAuxData old_sst=_OldSST temperature_error=_TempErr"},
  };
  for (const Case& c : cases) {
    std::map<std::string, std::string> labels;
    std::istringstream l(c.labels);
    for (std::string pair; l >> pair;) {
      std::replace(pair.begin(), pair.end(), '_', ' ');
      const std::size_t eq = pair.find('=');
      std::string meaning = pair.substr(0, eq);
      std::replace(meaning.begin(), meaning.end(), ' ', '_');
      labels[meaning] = pair.substr(eq + 1);
    }
    const int var = f.nc.var(c.var);
    const std::vector<short> masks = f.nc.att<short>(var, "flag_masks");
    std::vector<std::string> meanings;
    std::istringstream m(f.nc.text(var, "flag_meanings"));
    for (std::string w; m >> w;) meanings.push_back(w);
    ASSERT_EQ(masks.size(), meanings.size()) << c.var;
    const std::vector<short> flags = f.nc.values<short>(c.var);
    const std::vector<char> texts = f.nc.values<char>(std::string(c.var) + "_text");
    std::set<std::string> seen;
    for (std::size_t i = 0; i < f.rows.size(); ++i) {
      std::set<std::string> set;
      for (std::size_t b = 0; b < masks.size(); ++b)
        if ((flags[i] & masks[b]) == masks[b]) set.insert(meanings[b]);
      std::string text = "F";
      for (int k = 0; k < 6; ++k)
        text += (set.count("channel_" + std::to_string(k) + "_" + c.channel_word) > 0) == c.set_removes_digit
                    ? '-'
                    : static_cast<char>('0' + k);
      for (const auto& [meaning, label] : labels)
        if (set.count(meaning)) text = label;
      if (set.count("marked")) text[0] = '*';
      const std::string& want = f.rows[i][c.column];
      EXPECT_EQ(fixed_text(text, 10), want) << c.var << " line " << i + 2;
      EXPECT_EQ(std::string(texts.data() + i * 10, 10), want) << c.var << "_text line " << i + 2;
      seen.insert(want);
    }
    EXPECT_GE(seen.size(), 3u) << c.var << ": the flight should show several status texts";
  }
}

// Every variable has long_name and units; every standard name is one of the CF table (not an alias), in
// units convertible to its canonical ones.
TEST(Sfmr2ncRoundTrip, StandardNamesAndUnitsAgreeWithTheCfTable) {
  std::map<std::string, std::string> canonical;
  std::ifstream table(std::filesystem::path(SFMR_SOURCE_DIR) / "tests/data/cf/cf-standard-names-v83.tsv");
  for (std::string line; std::getline(table, line);)
    if (line[0] != '#') canonical[line.substr(0, line.find('\t'))] = line.substr(line.find('\t') + 1);
  ASSERT_GT(canonical.size(), 4000u);
  // Units used here that differ from the canonical ones, and the canonical units they convert to.
  const std::set<std::pair<std::string, std::string>> conversions = {{"degree_Celsius", "K"},
                                                                     {"GHz", "s-1"},
                                                                     {"mm h-1", "m s-1"},
                                                                     {"degrees_north", "degree_north"},
                                                                     {"degrees_east", "degree_east"},
                                                                     {"seconds since", "s"}};
  const Flight f;
  int named = 0;
  for (int var = 0; var < f.nc.nvars(); ++var) {
    const std::string name = f.nc.name(var), units = f.nc.text(var, "units");
    EXPECT_FALSE(f.nc.text(var, "long_name").empty() || units.empty()) << name;
    std::string standard = f.nc.text(var, "standard_name");
    if (standard.empty()) continue;
    ++named;
    // A standard-name modifier (CF Appendix C) keeps the units of its name.
    if (const auto blank = standard.find(' '); blank != std::string::npos) {
      EXPECT_EQ(standard.substr(blank + 1), "standard_error") << name;
      standard.resize(blank);
    }
    const auto found = canonical.find(standard);
    ASSERT_NE(found, canonical.end()) << name << ": " << standard << " is not a CF standard name";
    const std::string u = units.rfind("seconds since", 0) == 0 ? "seconds since" : units;
    EXPECT_TRUE(u == found->second || conversions.count({u, found->second}))
        << name << ": units " << units << " for " << standard << " (canonical " << found->second << ")";
  }
  EXPECT_GE(named, 15);
}

TEST(Sfmr2ncRoundTrip, StandardErrorsWhereTheRetrievalIsAndResidualsOfTheChannelsUsed) {
  const Flight f;
  const float fill = NC_FILL_FLOAT;
  struct Case {
    const char* var;
    const char* of;  // the retrieved variable that names it, or nullptr
    float lo, hi;    // range of its values
  };
  const Case cases[] = {
      {"wind_speed_standard_error", "wind_speed", 0.0f, 100.0f},
      {"rain_rate_standard_error", "rain_rate", 0.0f, 100.0f},
      {"wind_rain_error_correlation", nullptr, -1.0f, 1.0f},
  };
  const std::vector<float> ws = f.nc.values<float>("wind_speed");
  // A second whose altitude, air temperature or SST is written as asterisks has no known conditions.
  const auto conditions_known = [&f](std::size_t i) {
    for (std::size_t col : {3u, 4u, 8u})
      if (f.rows[i][col].find('*') != std::string::npos) return false;
    return true;
  };
  int unknown = 0;
  for (std::size_t i = 0; i < f.rows.size(); ++i) unknown += ws[i] != fill && !conditions_known(i) ? 1 : 0;
  EXPECT_GT(unknown, 0) << "the damaged fixture should have a retrieval with unreadable conditions";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.var);
    const int var = f.nc.var(c.var);
    EXPECT_EQ(f.nc.att<float>(var, "_FillValue"), std::vector<float>{fill});
    const std::string comment = f.nc.text(var, "comment");
    std::size_t sentences = comment.empty() || comment.back() != '.' ? 0 : 1;
    for (std::size_t at = comment.find(". "); at != std::string::npos; at = comment.find(". ", at + 1))
      ++sentences;
    EXPECT_EQ(sentences, 2u) << comment;
    if (c.of != nullptr) {
      std::istringstream names(f.nc.text(f.nc.var(c.of), "ancillary_variables"));
      std::set<std::string> named;
      for (std::string n; names >> n;) named.insert(n);
      EXPECT_TRUE(named.count(c.var)) << c.of << " names " << c.var;
    }
    const std::vector<float> v = f.nc.values<float>(c.var);
    ASSERT_EQ(v.size(), ws.size());
    int values = 0;
    for (std::size_t i = 0; i < v.size(); ++i) {
      // Every second with a retrieval has one, and no other second.
      EXPECT_EQ(v[i] == fill, ws[i] == fill || !conditions_known(i)) << "line " << i + 2;
      if (v[i] == fill) continue;
      ++values;
      EXPECT_TRUE(v[i] >= c.lo && v[i] <= c.hi) << v[i] << " line " << i + 2;
    }
    EXPECT_GT(values, 1000);
  }
  // Residuals: a value exactly for the channels of the status text's list.
  const std::vector<float> residual = f.nc.values<float>("tb_residual");
  ASSERT_EQ(residual.size(), f.rows.size() * kChannels);
  double sum2 = 0.0;
  int n = 0;
  for (std::size_t i = 0; i < f.rows.size(); ++i) {
    const std::string& err = f.rows[i][23];
    if (err.rfind("ZeroWS&RR", 0) == 0) continue;  // calm sea: the channels are not listed
    for (std::size_t k = 0; k < kChannels; ++k) {
      const float r = residual[i * kChannels + k];
      const bool used = err[0] == 'F' && err[k + 1] != '-' && ws[i] != fill && conditions_known(i);
      EXPECT_EQ(r != fill, used) << "line " << i + 2 << " channel " << k << " " << err;
      if (r != fill && used) sum2 += static_cast<double>(r) * r, ++n;
    }
  }
  // The fixture's instrument noise is the simulator's default 0.2 K: the residuals are of that size.
  ASSERT_GT(n, 0);
  EXPECT_LT(std::sqrt(sum2 / n), 0.4);
}

}  // namespace
}  // namespace sfmr::testing

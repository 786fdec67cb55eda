// The groups of a TEMP DROP message, decoded and encoded one at a time, and the reader of one bulletin's
// parts. Used by the reader and the writer of tempdrop.hpp; every decoder throws Malformed naming the group.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "sonde/date_context.hpp"
#include "sonde/sonde.hpp"

namespace sfmr::sonde::tempdrop {

// A group or part that does not follow the code: the bulletin is skipped with this reason.
struct Malformed : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Remark lines wrap at this many characters.
inline constexpr std::size_t kRemarkWidth = 65;

// Dry air's gas constant, J kg-1 K-1, and standard gravity, m s-2 (the hypsometric equation).
inline constexpr double kDryAirGasConstant = 287.05;
inline constexpr double kGravity = 9.80665;

// Virtual temperature, K, of air at `t` deg C with dew point `t - depression`, at `p` hPa: the vapour
// pressure from the dew point after Bolton (1980, Mon. Wea. Rev. 108, eq. 10), the specific humidity
// q = eps e / (p - (1 - eps) e) and Tv = T (1 + (1 - eps) / eps q); dry air when the dew point is missing.
double virtual_temperature(double t, double depression, double p);

// Section indicators: 21212 (wind levels), 31313, 41414, 51515-59595 (regional), 61616-69696 (national).
bool is_indicator(std::string_view g);

// PPP in hPa with the thousands dropped (007 = 1007 hPa).
double pressure_hpa(std::string_view ppp);

struct Temperature {
  double temperature = kNaN;          // deg C
  double dewpoint_depression = kNaN;  // deg C
};
// `TTTaDD`: "/////" or slashes in a field for missing.
Temperature decode_temperature(std::string_view g);
std::string encode_temperature(double temperature, double dewpoint_depression);

// `dddff` with the speed in kt when `knots` (else m/s); the wind returned in m/s. "/////" missing.
Wind decode_wind(std::string_view g, bool knots);
std::string encode_wind(const Wind& wind);  // in kt

// Standard level of indicator nn ("00" 1000 hPa ... "10" 100 hPa): its pressure, NaN when nn is none.
double standard_pressure(std::string_view nn);
// Height of a standard level from its hhh (m; "///" missing); encode is the inverse.
double decode_height(double pressure, std::string_view hhh);
std::string encode_height(double pressure, double height);

// `LLLLHLLLLLH` in hundredths of a degree (1529N06581W).
bool decode_position(std::string_view g, double& lat, double& lon);
std::string encode_position(double lat, double lon);
// `hhmmss` as seconds of the day, -1 when malformed.
int decode_time_of_day(std::string_view g);

// One bulletin being read: its heading, then each part's groups; finish() gives the sonde.
class BulletinReader {
 public:
  BulletinReader(std::string_view heading, const DateContext& context);
  void add_part(const std::string& name, const std::vector<std::string>& groups);
  Sonde finish();
  // The bulletin's heading with its observation number (found in `body` when the parts did not read).
  std::string name(const std::vector<std::string_view>& body) const;

 private:
  struct Ident {
    int day = 0, hour = 0, last_wind = -1;  // last_wind: hPa of the last standard level with a wind
    bool knots = true;
    double lat = kNaN, lon = kNaN;
  };
  void read_ident(const std::vector<std::string>& g, std::size_t& i, bool part_a);
  void read_part_a(const std::vector<std::string>& g, std::size_t& i);
  void read_part_b(const std::vector<std::string>& g, std::size_t& i);
  void read_sections(const std::vector<std::string>& g, std::size_t& i, bool part_b);
  void read_mission(const std::vector<std::string>& words);
  void read_remarks(const std::vector<std::string>& words);
  double time_of(int seconds_of_day) const;
  void assign_heights();

  std::string heading_;
  int sent_day_ = 0;
  DateContext context_;
  Ident ident_;
  bool have_ident_ = false, have_a_ = false, have_b_ = false, have_mission_ = false, have_remarks_ = false;
  Sonde sonde_;
  double surface_pressure_ = kNaN;
  Wind surface_a_, surface_b_;
  int launch_ = -1, release_ = -1, splash_ = -1;  // seconds of the day
};

}  // namespace sfmr::sonde::tempdrop

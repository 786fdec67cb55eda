#include "look/error_report.hpp"

#include <algorithm>
#include <cmath>

#include "core/text.hpp"
#include "out_file/flight_facts.hpp"

namespace sfmr::uncertainty {

namespace {

double median(std::vector<double> v) {
  if (v.empty()) return NAN;
  const auto mid = v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2);
  std::nth_element(v.begin(), mid, v.end());
  return *mid;
}

std::string value(bool ok, double v) {
  return ok ? format_F(v, 10, 3) : std::string("       NaN");
}

}  // namespace

std::string read_inputs(const std::string& setup_path, FlightInputs& inputs) {
  archive::SetupFacts facts;
  if (std::string e = archive::read_setup_facts(setup_path, facts); !e.empty()) return e;
  if (!facts.have_freq) return setup_path + ": no channel frequencies (section &D)";
  inputs.freq = facts.freq;
  return {};
}

ErrorSummary summarise_errors(const std::vector<flight::OutSecond>& seconds,
                              const std::vector<SecondError>& errors,
                              const std::map<int, look::TruthSecond>* truth) {
  ErrorSummary s;
  std::vector<double> ws_se, rr_se;
  int w1 = 0, w2 = 0, r1 = 0, r2 = 0;
  for (std::size_t i = 0; i < seconds.size() && i < errors.size(); ++i) {
    const SecondError& e = errors[i];
    if (!e.valid()) continue;
    ws_se.push_back(e.ws_se);
    rr_se.push_back(e.rr_se);
    if (truth == nullptr) continue;
    const auto t = truth->find(seconds[i].clock);
    if (t == truth->end() || t->second.land) continue;
    ++s.compared;
    const double dw = std::fabs(seconds[i].SFWS - t->second.ws),
                 dr = std::fabs(seconds[i].SFRR - t->second.rr);
    w1 += dw <= e.ws_se ? 1 : 0;
    w2 += dw <= 2.0 * e.ws_se ? 1 : 0;
    r1 += dr <= e.rr_se ? 1 : 0;
    r2 += dr <= 2.0 * e.rr_se ? 1 : 0;
  }
  s.seconds = static_cast<int>(ws_se.size());
  s.median_ws_se = median(ws_se);
  s.median_rr_se = median(rr_se);
  if (s.compared > 0) {
    s.ws_within1 = static_cast<double>(w1) / s.compared;
    s.ws_within2 = static_cast<double>(w2) / s.compared;
    s.rr_within1 = static_cast<double>(r1) / s.compared;
    s.rr_within2 = static_cast<double>(r2) / s.compared;
  }
  return s;
}

void print_error_summary(std::ostream& os, const ErrorSummary& s, bool with_truth) {
  os << "\nStandard errors (" << s.seconds << " seconds)\n";
  if (s.seconds == 0) return;
  os << "  median wind speed standard error  " << format_F(s.median_ws_se, 6, 2) << " m/s\n"
     << "  median rain rate standard error   " << format_F(s.median_rr_se, 6, 2) << " mm/h\n";
  if (!with_truth) return;
  os << "  truth within 1 / 2 standard errors (" << s.compared << " seconds over the sea)\n"
     << "    wind speed  " << format_F(100.0 * s.ws_within1, 5, 1) << " % / "
     << format_F(100.0 * s.ws_within2, 5, 1) << " %   (68.3 % / 95.4 % expected)\n"
     << "    rain rate   " << format_F(100.0 * s.rr_within1, 5, 1) << " % / "
     << format_F(100.0 * s.rr_within2, 5, 1) << " %\n";
}

void write_error_band(std::ostream& os, const std::vector<flight::OutSecond>& seconds,
                      const std::vector<SecondError>& errors) {
  os << "# elapsed_s ws_low ws_high rr_low rr_high\n";
  for (std::size_t i = 0; i < seconds.size(); ++i) {
    const flight::OutSecond& s = seconds[i];
    const bool ok = i < errors.size() && errors[i].valid();
    const double w = ok ? errors[i].ws_se : 0.0, r = ok ? errors[i].rr_se : 0.0;
    os << s.elapsed << value(ok, std::max(s.SFWS - w, 0.0)) << value(ok, s.SFWS + w)
       << value(ok, std::max(s.SFRR - r, 0.0)) << value(ok, s.SFRR + r) << '\n';
  }
}

}  // namespace sfmr::uncertainty

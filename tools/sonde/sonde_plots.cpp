#include "sonde/sonde_plots.hpp"

#include <filesystem>
#include <optional>

#include "common/cli.hpp"
#include "common/process.hpp"
#include "common/publish.hpp"
#include "core/text.hpp"

namespace sfmr::sonde {

namespace {

constexpr double kPlotTimeoutS = 60.0;  // s, a wall-time bound on gnuplot

std::string quoted(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("''") : std::string(1, c);
  return out + "'";
}

// The bins of one binning as a data block: index, label, bias, rms, n.
std::string bin_block(const std::string& name, const std::vector<BinStats>& stats,
                      const std::string& binning) {
  std::string out = "$" + name + " << EOD\n";
  int k = 0;
  for (const BinStats& s : stats)
    if (s.binning == binning)
      out += std::to_string(k++) + " \"" + s.bin + "\" " + format_trimmed(s.bias, 3) + " " +
             format_trimmed(s.rms, 3) + " " + std::to_string(s.n) + "\n";
  return out + (k == 0 ? "0 \"none\" NaN NaN 0\n" : "") + "EOD\n";
}

}  // namespace

std::string plot_script(const std::vector<Pair>& pairs, const std::vector<BinStats>& stats,
                        const std::string& scatter_png, const std::string& bias_png) {
  double top = 10.0;
  std::string out = "$pairs << EOD\n";
  for (const Pair& p : pairs) {
    top = std::max({top, p.sonde, p.sfmr});
    out += format_trimmed(p.sonde, 2) + " " + format_trimmed(p.sfmr, 2) + " " +
           (std::isfinite(p.rain) ? format_trimmed(p.rain, 2) : "NaN") + "\n";
  }
  out += "EOD\n";
  out += bin_block("bysonde", stats, "wind_by_sonde") + bin_block("bysfmr", stats, "wind_by_sfmr") +
         bin_block("byrain", stats, "rain_by_sfmr");
  const std::string lim = format_trimmed(std::ceil(top / 10.0) * 10.0, 0);
  out +=
      "set terminal pngcairo size 900,820 font 'sans,12'\nset output " + quoted(scatter_png) + "\n" +
      "set title 'Radiometer 10-s wind against dropsonde 10-m wind (n = " + std::to_string(pairs.size()) +
      ")'\nset xlabel 'dropsonde 10-m wind speed (m s^{-1})'\nset ylabel 'radiometer wind speed (m s^{-1})'\n"
      "set xrange [0:" +
      lim + "]\nset yrange [0:" + lim +
      "]\nset size square\nset grid\nset key top left\n"
      "set cblabel 'radiometer rain rate (mm h^{-1})'\nset cbrange [0:*]\nset palette rgbformulae 33,13,10\n"
      "plot x title '1:1' with lines lc 'black' dt 2, $pairs using 1:2:3 title 'matchups' with points pt 7 "
      "ps 1 lc palette\n";
  out += "reset\nset terminal pngcairo size 1500,600 font 'sans,12'\nset output " + quoted(bias_png) + "\n" +
         "set multiplot layout 1,3 title 'Radiometer minus dropsonde: bias and RMS per bin (m s^{-1})'\n"
         "set grid ytics\nset key top left\nset style data linespoints\nset xtics rotate by -30\n";
  const char* panels[][2] = {{"bysonde", "wind bin by the sonde (m s^{-1})"},
                             {"bysfmr", "wind bin by the radiometer (m s^{-1})"},
                             {"byrain", "rain bin by the radiometer (mm h^{-1})"}};
  for (const auto& p : panels)
    out += std::string("set xlabel '") + p[1] + "'\nplot $" + p[0] +
           " using 1:3:xtic(2) title 'bias' pt 7, $" + p[0] +
           " using 1:4 title 'RMS' pt 5, 0 notitle lc 'black'\n";
  return out + "unset multiplot\n";
}

std::string draw_plots(const std::string& prefix, const std::vector<Pair>& pairs,
                       const std::vector<BinStats>& stats, bool force) {
  namespace fs = std::filesystem;
  try {
    const tool::Replace replace = tool::replace_if(force);
    tool::Publisher scatter(prefix + ".scatter.png", replace), bias(prefix + ".bias.png", replace);
    tool::ChildCommand cmd;
    cmd.argv = {"gnuplot", "-"};
    cmd.in_text = plot_script(pairs, stats, fs::absolute(scatter.temp_path()).string(),
                              fs::absolute(bias.temp_path()).string());
    cmd.out = tool::Sink::kDiscard;
    cmd.timeout_seconds = kPlotTimeoutS;
    const tool::ChildResult r = tool::run_child(cmd);
    const std::string detail = r.err.substr(0, r.err.find('\n'));
    if (const std::string line = r.failure_line("gnuplot", detail); !line.empty())
      return prefix + ".scatter.png and " + prefix + ".bias.png (" + line + ")";
    scatter.commit();
    bias.commit();
    return "";
  } catch (const tool::ToolFailure& e) {
    return e.what();
  }
}

}  // namespace sfmr::sonde

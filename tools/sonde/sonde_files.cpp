#include "sonde/sonde_files.hpp"

#include <iterator>
#include <set>

#include "common/input.hpp"
#include "sonde/eol.hpp"
#include "sonde/tempdrop.hpp"

namespace sfmr::sonde {

ReadResult read_sonde_text(const std::string& path, std::string_view text,
                           const std::optional<DateContext>& month) {
  try {
    if (looks_like_eol(text)) return {{read_eol(text, path)}, {}};
    const std::optional<DateContext> context = month ? month : date_from_file_name(path);
    if (!has_tempdrop_heading(text))
      throw SondeError("neither an EOL sounding file nor TEMP DROP bulletins (UZNT13/UZPN13)");
    if (!context)
      throw SondeError(
          "TEMP DROP gives the day but not the month and year: give --month YYYY-MM, or a file "
          "name holding YYYYMMDDhhmm");
    ReadResult r = read_tempdrop(text, &*context);
    for (Skipped& k : r.skipped) k.sonde = path + ": " + k.sonde;
    return r;
  } catch (const SondeError& e) {
    throw SondeError(path + ": " + e.what());
  }
}

bool looks_like_netcdf(std::string_view head) {
  constexpr std::string_view kHdf5{"\x89HDF\r\n\x1a\n", 8};
  return (head.size() >= 4 && head.substr(0, 3) == "CDF" && (head[3] == 1 || head[3] == 2 || head[3] == 5)) ||
         head.substr(0, kHdf5.size()) == kHdf5;
}

ReadResult read_sonde_files(const std::vector<std::string>& paths, const std::optional<DateContext>& month,
                            const NetcdfSondeReader& netcdf) {
  ReadResult all;
  std::set<std::string> seen;
  for (const std::string& path : paths) {
    std::ifstream in = tool::open_input(path);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (!in.good() && !in.eof()) throw SondeError(path + ": cannot read");
    if (looks_like_netcdf(text)) {
      if (!netcdf) throw SondeError(path + ": a netCDF file, and this build reads none");
      try {
        all.sondes.push_back(netcdf(path));
      } catch (const SondeError& e) {
        throw SondeError(path + ": " + e.what());
      }
      continue;
    }
    ReadResult r = read_sonde_text(path, text, month);
    const bool bulletins = !looks_like_eol(text);
    for (Sonde& s : r.sondes) {
      // A bulletin archived in more than one file is read once (the EOL form of a sonde is kept beside it).
      if (bulletins && !seen.insert(s.id + "@" + std::to_string(s.release.time)).second) {
        all.skipped.push_back({path + ": " + s.heading + " OB " + (s.observation < 10 ? "0" : "") +
                                   std::to_string(s.observation),
                               "a repeat of a bulletin already read"});
        continue;
      }
      all.sondes.push_back(std::move(s));
    }
    for (Skipped& k : r.skipped) all.skipped.push_back(std::move(k));
  }
  return all;
}

}  // namespace sfmr::sonde

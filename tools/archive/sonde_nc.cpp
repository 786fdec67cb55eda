#include "archive/sonde_nc.hpp"

#include <cmath>
#include <vector>

#include "archive/nc_file.hpp"

namespace sfmr::archive {

namespace {

constexpr double kFill = -999.0;  // _FillValue of the numbers and times

}  // namespace

void write_matchups_nc(const std::string& path, const sonde::Table& table, const std::string& history) {
  using sonde::ColumnKind;
  nc::File f = nc::File::create(path, "create matchups");
  const std::size_t rows = table.empty() ? 0 : table.front().cells.size();
  const int dim = f.dim("sonde", rows);
  std::vector<int> ids;
  for (const sonde::Column& c : table) {
    const int v = f.var(c.name.c_str(), c.kind == ColumnKind::kText ? NC_STRING : NC_DOUBLE, {dim});
    ids.push_back(v);
    if (c.kind != ColumnKind::kText) f.fill(v, kFill);
    if (c.kind == ColumnKind::kTime)
      f.text(v, "units", "seconds since 1970-01-01 00:00:00");
    else if (!c.units.empty())
      f.text(v, "units", c.units);
    if (!c.standard_name.empty()) f.text(v, "standard_name", c.standard_name);
    f.text(v, "long_name", c.long_name.empty() ? c.name : c.long_name);
  }
  f.text(NC_GLOBAL, "featureType", "point");
  f.text(NC_GLOBAL, "Conventions", "CF-1.8");
  f.text(NC_GLOBAL, "title", "Dropsondes collocated with the radiometer's 10-s winds");
  f.text(NC_GLOBAL, "software_name", "sfmrsonde");
  f.text(NC_GLOBAL, "history", history);
  f.end_define();
  for (std::size_t k = 0; k < table.size(); ++k) {
    const sonde::Column& c = table[k];
    if (rows == 0) break;
    if (c.kind == ColumnKind::kText) {
      std::vector<const char*> p;
      for (const std::string& s : c.cells) p.push_back(s.c_str());
      f.put(ids[k], p.data(), c.name);
    } else {
      std::vector<double> v;
      for (double x : c.values) v.push_back(std::isfinite(x) ? x : kFill);
      f.put(ids[k], v.data(), c.name);
    }
  }
  f.close();
}

}  // namespace sfmr::archive

#include "archive/campaign_nc.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "archive/nc_file.hpp"
#include "core/constants.hpp"
#include "out_file/flight_facts.hpp"

namespace sfmr::archive {

namespace {

constexpr int kDeflateLevel = 4;
constexpr std::int64_t kDay = kSecondsPerDay;  // s

// The day number of a time variable's units "seconds since YYYY-MM-DD 00:00:00".
std::int32_t units_day(const std::string& units, const std::string& file) {
  const std::string prefix = "seconds since ";
  const std::int32_t day =
      units.starts_with(prefix) ? day_of_iso_date(units.substr(prefix.size(), 10)) : std::int32_t{-1};
  if (day < 0) throw nc::Error(file + ": time units '" + units + "' are not seconds since a date");
  return day;
}

// A variable of the flight files along their `time` dimension.
struct Series {
  std::string name;
  nc_type type = NC_NAT;
  std::size_t type_size = 0;
  std::vector<std::size_t> inner;  // lengths of the dimensions after time
  int out = -1;                    // the campaign file's variable
};

struct Member {
  std::size_t seconds = 0;
  std::int32_t day = 0;
};

// The length and date of every flight.
std::vector<Member> read_members(const std::vector<CampaignMember>& flights) {
  std::vector<Member> members;
  for (const auto& f : flights) {
    const nc::File in = nc::File::open(f.file.string());
    const std::optional<int> time_dim = in.find_dim("time");
    const std::optional<int> time_var = in.find_var("time");
    if (!time_dim) nc::check(NC_EBADDIM, in.path() + ": time");
    if (!time_var) nc::check(NC_ENOTVAR, in.path() + ": time");
    Member m;
    m.seconds = in.dim_length(*time_dim);
    m.day = units_day(in.text(*time_var, "units"), in.path());
    members.push_back(m);
  }
  return members;
}

// The campaign file's own variables and those copied from the first flight file.
struct Layout {
  int obs_dim = -1, traj_dim = -1, trajectory = -1, row_size = -1;
  std::vector<Series> series;                  // along time onto obs
  int frequency = -1;                          // frequency(trajectory, channel)
  std::vector<std::pair<int, int>> constants;  // (variable in the first file, variable in the campaign)
};

void define_collection(nc::File& o, std::size_t flights, std::size_t total, Layout& l) {
  l.obs_dim = o.dim("obs", total);
  l.traj_dim = o.dim("trajectory", flights);
  l.trajectory = o.var("trajectory", NC_STRING, {l.traj_dim});
  o.text(l.trajectory, "cf_role", "trajectory_id");
  o.text(l.trajectory, "long_name", "flight name");
  o.text(l.trajectory, "units", "1");
  l.row_size = o.var("rowSize", NC_INT, {l.traj_dim});
  o.text(l.row_size, "long_name", "number of seconds of the flight");
  o.text(l.row_size, "sample_dimension", "obs");
  o.text(l.row_size, "units", "1");
}

// The dimensions of the first flight file in the campaign file (time becomes obs); the campaign's
// dimension for each of the first file's. `channel_dim` receives the first file's channel dimension.
std::vector<int> copy_dims(nc::File& o, const nc::File& first, int time_dim, int obs_dim, int& channel_dim) {
  const int in = first.id();
  int ndims_in = 0;
  nc::check(nc_inq_ndims(in, &ndims_in), first.path());
  std::vector<int> out_dims(static_cast<std::size_t>(ndims_in), -1);
  out_dims[static_cast<std::size_t>(time_dim)] = obs_dim;
  for (int d = 0; d < ndims_in; ++d) {
    if (d == time_dim) continue;
    char name[NC_MAX_NAME + 1] = "";
    std::size_t len = 0;
    nc::check(nc_inq_dim(in, d, name, &len), first.path());
    if (std::string(name) == "channel") channel_dim = d;
    out_dims[static_cast<std::size_t>(d)] = o.dim(name, len);
  }
  return out_dims;
}

// One variable of the first file defined in the campaign file with its attributes, and sorted into the
// layout: along time onto obs, the frequencies per flight, the rest (channel numbers, wind height) as they
// are.
void copy_var(nc::File& o, const nc::File& first, int v, const std::vector<int>& out_dims, int time_dim,
              int channel_dim, const std::string& time_units, Layout& l) {
  const int in = first.id();
  char name[NC_MAX_NAME + 1] = "";
  nc_type type = NC_NAT;
  int ndims = 0, dims[NC_MAX_VAR_DIMS], natts = 0;
  nc::check(nc_inq_var(in, v, name, &type, &ndims, dims, &natts), first.path());
  const std::string n = name;
  if (n == "trajectory") return;
  std::vector<int> odims;
  for (int d = 0; d < ndims; ++d) odims.push_back(out_dims[static_cast<std::size_t>(dims[d])]);
  const bool along_time = ndims > 0 && dims[0] == time_dim;
  const bool frequency = n == "frequency" && ndims == 1 && dims[0] == channel_dim;
  if (frequency) odims.insert(odims.begin(), l.traj_dim);
  const int ov = o.var(name, type, odims, along_time ? kDeflateLevel : 0);
  for (int a = 0; a < natts; ++a) {
    char att[NC_MAX_NAME + 1] = "";
    nc::check(nc_inq_attname(in, v, a, att), n);
    nc::check(nc_copy_att(in, v, att, o.id(), ov), n + ":" + att);
  }
  if (n == "time" || n == "time_recorded") o.text(ov, "units", time_units);
  if (along_time) {
    Series s{n, type, 0, {}, ov};
    nc::check(nc_inq_type(in, type, nullptr, &s.type_size), n);
    for (int d = 1; d < ndims; ++d) s.inner.push_back(first.dim_length(dims[d]));
    l.series.push_back(s);
  } else if (frequency) {
    l.frequency = ov;
  } else {
    l.constants.emplace_back(v, ov);
  }
}

void copy_variables(nc::File& o, const nc::File& first, const std::string& time_units, Layout& l) {
  const std::optional<int> time_dim = first.find_dim("time");
  if (!time_dim) nc::check(NC_EBADDIM, first.path() + ": time");
  int nvars = 0, channel_dim = -1;
  nc::check(nc_inq_nvars(first.id(), &nvars), first.path());
  const std::vector<int> out_dims = copy_dims(o, first, *time_dim, l.obs_dim, channel_dim);
  for (int v = 0; v < nvars; ++v) copy_var(o, first, v, out_dims, *time_dim, channel_dim, time_units, l);
}

// The collection's own global attributes, and the descriptive ones of the flight files.
void campaign_attributes(nc::File& o, const nc::File& first, const std::string& title,
                         const std::string& history) {
  const int g = NC_GLOBAL;
  o.text(g, "Conventions", "CF-1.8, ACDD-1.3");
  o.text(g, "featureType", "trajectory");
  o.text(g, "cdm_data_type", "Trajectory");
  o.text(g, "title", title);
  for (const char* att : {"summary", "source", "instrument", "software_version"}) {
    if (first.has_attribute(g, att)) nc::check(nc_copy_att(first.id(), g, att, o.id(), g), att);
  }
  o.text(g, "comment",
         "A contiguous ragged array of trajectories: flight k holds rowSize(k) seconds along obs, after "
         "the seconds of the flights before it");
  o.text(g, "history", history);
  o.text(g, "software_name", "sfmrcampaign");
}

// The seconds of flight k from `at` on along obs, its times shifted to the campaign's base date.
void write_flight(nc::File& o, const Layout& l, const CampaignMember& flight, std::size_t k,
                  const Member& member, std::size_t at, std::int32_t base) {
  const nc::File f = nc::File::open(flight.file.string());
  const char* name = flight.name.c_str();
  const std::size_t start_k[] = {k}, one[] = {1};
  nc::check(nc_put_vara_string(o.id(), l.trajectory, start_k, one, &name), "trajectory");
  const int n = static_cast<int>(member.seconds);
  nc::check(nc_put_vara_int(o.id(), l.row_size, start_k, one, &n), "rowSize");
  const double shift = static_cast<double>((member.day - base) * kDay);
  std::vector<char> buffer;
  for (const Series& s : l.series) {
    const std::optional<int> v = f.find_var(s.name.c_str());
    if (!v) continue;  // an older file: fill values
    std::size_t count = member.seconds;
    for (std::size_t len : s.inner) count *= len;
    buffer.resize(count * s.type_size);
    nc::check(nc_get_var(f.id(), *v, buffer.data()), f.path() + ": " + s.name);
    if (s.name == "time" || s.name == "time_recorded") {
      auto* values = reinterpret_cast<double*>(buffer.data());
      for (std::size_t i = 0; i < count; ++i) values[i] += shift;
    }
    std::vector<std::size_t> start = {at}, counts = {member.seconds};
    for (std::size_t len : s.inner) {
      start.push_back(0);
      counts.push_back(len);
    }
    nc::check(nc_put_vara(o.id(), s.out, start.data(), counts.data(), buffer.data()), s.name);
  }
  const std::optional<int> fv = f.find_var("frequency");
  if (l.frequency >= 0 && fv) {
    float freq[16] = {};
    nc::check(nc_get_var_float(f.id(), *fv, freq), f.path() + ": frequency");
    const std::optional<int> cd = o.find_dim("channel");
    if (!cd) nc::check(NC_EBADDIM, "channel");
    const std::size_t channels = o.dim_length(*cd);
    const std::size_t start[] = {k, 0}, counts[] = {1, std::min<std::size_t>(channels, 16)};
    nc::check(nc_put_vara_float(o.id(), l.frequency, start, counts, freq), "frequency");
  }
}

// The variables that are neither along time nor per flight, as the first file holds them.
void write_constants(nc::File& o, const nc::File& first, const Layout& l) {
  std::vector<char> buffer;
  for (const auto& [v, ov] : l.constants) {
    char name[NC_MAX_NAME + 1] = "";
    nc_type type = NC_NAT;
    int ndims = 0, dims[NC_MAX_VAR_DIMS];
    nc::check(nc_inq_var(first.id(), v, name, &type, &ndims, dims, nullptr), first.path());
    std::size_t count = 1, size = 0;
    for (int d = 0; d < ndims; ++d) count *= first.dim_length(dims[d]);
    nc::check(nc_inq_type(first.id(), type, nullptr, &size), name);
    buffer.resize(count * size);
    nc::check(nc_get_var(first.id(), v, buffer.data()), name);
    nc::check(nc_put_var(o.id(), ov, buffer.data()), name);
  }
}

}  // namespace

std::string write_campaign_nc(const std::filesystem::path& path, const std::vector<CampaignMember>& flights,
                              const std::string& title, const std::string& history) {
  const std::string temp = path.string() + ".tmp";
  try {
    if (flights.empty()) throw nc::Error("no flight files");
    const std::vector<Member> members = read_members(flights);
    std::size_t total = 0;
    for (const Member& m : members) total += m.seconds;
    const std::int32_t base =
        std::min_element(members.begin(), members.end(), [](auto& a, auto& b) { return a.day < b.day; })->day;
    const std::string time_units = "seconds since " + iso_date(date_of_day(base)) + " 00:00:00";

    nc::File out = nc::File::create(temp, temp);
    Layout layout;
    define_collection(out, flights.size(), total, layout);
    const nc::File first = nc::File::open(flights.front().file.string());
    copy_variables(out, first, time_units, layout);
    campaign_attributes(out, first, title, history);
    out.end_define();
    std::size_t at = 0;
    for (std::size_t k = 0; k < flights.size(); ++k) {
      write_flight(out, layout, flights[k], k, members[k], at, base);
      at += members[k].seconds;
    }
    write_constants(out, first, layout);
    out.close();
  } catch (const nc::Error& failure) {
    std::remove(temp.c_str());
    return failure.what();
  }
  std::error_code ec;
  std::filesystem::rename(temp, path, ec);
  if (ec) return path.string() + ": " + ec.message();
  return {};
}

}  // namespace sfmr::archive

#include "archive/campaign_nc.hpp"

#include <netcdf.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <stdexcept>

#include "core/constants.hpp"
#include "out_file/flight_facts.hpp"

namespace sfmr::archive {

namespace {

constexpr int kDeflateLevel = 4;
constexpr std::int64_t kDay = kSecondsPerDay;  // s

struct Failure {
  std::string what;
};

void check(int status, const std::string& what) {
  if (status != NC_NOERR) throw Failure{what + ": " + nc_strerror(status)};
}

class Nc {
 public:
  Nc(const std::string& path, bool create) : path_(path) {
    check(create ? nc_create(path.c_str(), NC_NETCDF4 | NC_CLOBBER, &id_)
                 : nc_open(path.c_str(), NC_NOWRITE, &id_),
          path);
  }
  Nc(const Nc&) = delete;
  Nc& operator=(const Nc&) = delete;
  ~Nc() {
    if (id_ >= 0) nc_close(id_);
  }
  void close() {
    const int id = id_;
    id_ = -1;
    check(nc_close(id), path_ + ": close");
  }
  int id() const { return id_; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  int id_ = -1;
};

std::string text_att(int nc, int var, const char* name) {
  std::size_t len = 0;
  if (nc_inq_attlen(nc, var, name, &len) != NC_NOERR) return {};
  std::string s(len, '\0');
  nc_get_att_text(nc, var, name, s.data());
  return s;
}

void put_text(int nc, int var, const char* name, const std::string& value) {
  check(nc_put_att_text(nc, var, name, value.size(), value.data()), name);
}

// The day number of a time variable's units "seconds since YYYY-MM-DD 00:00:00".
std::int32_t units_day(const std::string& units, const std::string& file) {
  const std::string prefix = "seconds since ";
  const std::int32_t day =
      units.starts_with(prefix) ? day_of_iso_date(units.substr(prefix.size(), 10)) : std::int32_t{-1};
  if (day < 0) throw Failure{file + ": time units '" + units + "' are not seconds since a date"};
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

}  // namespace

std::string write_campaign_nc(const std::filesystem::path& path, const std::vector<CampaignMember>& flights,
                              const std::string& title, const std::string& history) {
  const std::string temp = path.string() + ".tmp";
  try {
    if (flights.empty()) throw Failure{"no flight files"};
    // Pass 1: the length and date of every flight.
    std::vector<Member> members;
    std::size_t total = 0;
    for (const auto& f : flights) {
      Nc in(f.file.string(), false);
      int time_dim = -1, time_var = -1;
      check(nc_inq_dimid(in.id(), "time", &time_dim), in.path() + ": time");
      check(nc_inq_varid(in.id(), "time", &time_var), in.path() + ": time");
      Member m;
      check(nc_inq_dimlen(in.id(), time_dim, &m.seconds), in.path() + ": time");
      m.day = units_day(text_att(in.id(), time_var, "units"), in.path());
      total += m.seconds;
      members.push_back(m);
    }
    const std::int32_t base =
        std::min_element(members.begin(), members.end(), [](auto& a, auto& b) { return a.day < b.day; })->day;
    const std::string time_units = "seconds since " + iso_date(date_of_day(base)) + " 00:00:00";

    Nc out(temp, true);
    const int o = out.id();
    int obs_dim = -1, traj_dim = -1;
    check(nc_def_dim(o, "obs", total, &obs_dim), "obs");
    check(nc_def_dim(o, "trajectory", flights.size(), &traj_dim), "trajectory");
    int trajectory = -1, row_size = -1;
    check(nc_def_var(o, "trajectory", NC_STRING, 1, &traj_dim, &trajectory), "trajectory");
    put_text(o, trajectory, "cf_role", "trajectory_id");
    put_text(o, trajectory, "long_name", "flight name");
    put_text(o, trajectory, "units", "1");
    check(nc_def_var(o, "rowSize", NC_INT, 1, &traj_dim, &row_size), "rowSize");
    put_text(o, row_size, "long_name", "number of seconds of the flight");
    put_text(o, row_size, "sample_dimension", "obs");
    put_text(o, row_size, "units", "1");

    // The variables of the first flight file: along time onto obs, the frequencies per flight, the rest
    // (channel numbers, wind height) as they are.
    Nc first(flights.front().file.string(), false);
    const int in = first.id();
    int time_dim = -1, nvars = 0, channel_dim_in = -1;
    check(nc_inq_dimid(in, "time", &time_dim), first.path() + ": time");
    check(nc_inq_nvars(in, &nvars), first.path());
    std::vector<Series> series;
    std::vector<std::pair<int, int>> constants;  // (variable in the first file, variable in the campaign)
    int frequency_out = -1;
    std::vector<int> out_dims_of_in;  // the campaign's dimension for each of the first file's, or -1
    int ndims_in = 0;
    check(nc_inq_ndims(in, &ndims_in), first.path());
    out_dims_of_in.assign(static_cast<std::size_t>(ndims_in), -1);
    out_dims_of_in[static_cast<std::size_t>(time_dim)] = obs_dim;
    for (int d = 0; d < ndims_in; ++d) {
      if (d == time_dim) continue;
      char name[NC_MAX_NAME + 1] = "";
      std::size_t len = 0;
      check(nc_inq_dim(in, d, name, &len), first.path());
      if (std::string(name) == "channel") channel_dim_in = d;
      check(nc_def_dim(o, name, len, &out_dims_of_in[static_cast<std::size_t>(d)]), name);
    }
    for (int v = 0; v < nvars; ++v) {
      char name[NC_MAX_NAME + 1] = "";
      nc_type type = NC_NAT;
      int ndims = 0, dims[NC_MAX_VAR_DIMS], natts = 0;
      check(nc_inq_var(in, v, name, &type, &ndims, dims, &natts), first.path());
      const std::string n = name;
      if (n == "trajectory") continue;
      std::vector<int> odims;
      for (int d = 0; d < ndims; ++d) odims.push_back(out_dims_of_in[static_cast<std::size_t>(dims[d])]);
      const bool along_time = ndims > 0 && dims[0] == time_dim;
      const bool frequency = n == "frequency" && ndims == 1 && dims[0] == channel_dim_in;
      if (frequency) odims.insert(odims.begin(), traj_dim);
      int ov = -1;
      check(nc_def_var(o, name, type, static_cast<int>(odims.size()), odims.data(), &ov), n);
      if (along_time) check(nc_def_var_deflate(o, ov, 1, 1, kDeflateLevel), n);
      for (int a = 0; a < natts; ++a) {
        char att[NC_MAX_NAME + 1] = "";
        check(nc_inq_attname(in, v, a, att), n);
        check(nc_copy_att(in, v, att, o, ov), n + ":" + att);
      }
      if (n == "time" || n == "time_recorded") put_text(o, ov, "units", time_units);
      if (along_time) {
        Series s{n, type, 0, {}, ov};
        check(nc_inq_type(in, type, nullptr, &s.type_size), n);
        for (int d = 1; d < ndims; ++d) {
          std::size_t len = 0;
          check(nc_inq_dimlen(in, dims[d], &len), n);
          s.inner.push_back(len);
        }
        series.push_back(s);
      } else if (frequency) {
        frequency_out = ov;
      } else {
        constants.emplace_back(v, ov);
      }
    }
    // Global attributes: the collection's own, and the descriptive ones of the flight files.
    const int g = NC_GLOBAL;
    put_text(o, g, "Conventions", "CF-1.8, ACDD-1.3");
    put_text(o, g, "featureType", "trajectory");
    put_text(o, g, "cdm_data_type", "Trajectory");
    put_text(o, g, "title", title);
    for (const char* att : {"summary", "source", "instrument", "software_version"}) {
      if (nc_inq_att(in, g, att, nullptr, nullptr) == NC_NOERR) check(nc_copy_att(in, g, att, o, g), att);
    }
    put_text(o, g, "comment",
             "A contiguous ragged array of trajectories: flight k holds rowSize(k) seconds along obs, after "
             "the seconds of the flights before it");
    put_text(o, g, "history", history);
    put_text(o, g, "software_name", "sfmrcampaign");
    check(nc_enddef(o), "enddef");

    // Pass 2: the data, flight after flight.
    std::vector<char> buffer;
    std::vector<int> rows;
    std::size_t at = 0;
    for (std::size_t k = 0; k < flights.size(); ++k) {
      Nc f(flights[k].file.string(), false);
      const char* name = flights[k].name.c_str();
      const std::size_t start_k[] = {k}, one[] = {1};
      check(nc_put_vara_string(o, trajectory, start_k, one, &name), "trajectory");
      const int n = static_cast<int>(members[k].seconds);
      check(nc_put_vara_int(o, row_size, start_k, one, &n), "rowSize");
      const double shift = static_cast<double>((members[k].day - base) * kDay);
      for (const Series& s : series) {
        int v = -1;
        if (nc_inq_varid(f.id(), s.name.c_str(), &v) != NC_NOERR) continue;  // an older file: fill values
        std::size_t count = members[k].seconds;
        for (std::size_t len : s.inner) count *= len;
        buffer.resize(count * s.type_size);
        check(nc_get_var(f.id(), v, buffer.data()), f.path() + ": " + s.name);
        if (s.name == "time" || s.name == "time_recorded") {
          auto* values = reinterpret_cast<double*>(buffer.data());
          for (std::size_t i = 0; i < count; ++i) values[i] += shift;
        }
        std::vector<std::size_t> start = {at}, counts = {members[k].seconds};
        for (std::size_t len : s.inner) {
          start.push_back(0);
          counts.push_back(len);
        }
        check(nc_put_vara(o, s.out, start.data(), counts.data(), buffer.data()), s.name);
      }
      int fv = -1;
      if (frequency_out >= 0 && nc_inq_varid(f.id(), "frequency", &fv) == NC_NOERR) {
        float freq[16] = {};
        check(nc_get_var_float(f.id(), fv, freq), f.path() + ": frequency");
        std::size_t channels = 0;
        int cd = -1;
        check(nc_inq_dimid(o, "channel", &cd), "channel");
        check(nc_inq_dimlen(o, cd, &channels), "channel");
        const std::size_t start[] = {k, 0}, counts[] = {1, std::min<std::size_t>(channels, 16)};
        check(nc_put_vara_float(o, frequency_out, start, counts, freq), "frequency");
      }
      at += members[k].seconds;
    }
    for (const auto& [v, ov] : constants) {
      char name[NC_MAX_NAME + 1] = "";
      nc_type type = NC_NAT;
      int ndims = 0, dims[NC_MAX_VAR_DIMS];
      check(nc_inq_var(in, v, name, &type, &ndims, dims, nullptr), first.path());
      std::size_t count = 1, size = 0;
      for (int d = 0; d < ndims; ++d) {
        std::size_t len = 0;
        check(nc_inq_dimlen(in, dims[d], &len), name);
        count *= len;
      }
      check(nc_inq_type(in, type, nullptr, &size), name);
      buffer.resize(count * size);
      check(nc_get_var(in, v, buffer.data()), name);
      check(nc_put_var(o, ov, buffer.data()), name);
    }
    out.close();
  } catch (const Failure& failure) {
    std::remove(temp.c_str());
    return failure.what;
  }
  std::error_code ec;
  std::filesystem::rename(temp, path, ec);
  if (ec) return path.string() + ": " + ec.message();
  return {};
}

}  // namespace sfmr::archive

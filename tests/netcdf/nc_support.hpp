// Helpers of the converter's tests: reading a netCDF file back through the netCDF library, and running the
// converter as a user does.
#pragma once

#include <netcdf.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/test_util.hpp"

namespace sfmr::testing {

// An open netCDF file, read only.
class NcReader {
 public:
  explicit NcReader(const std::string& path) {
    if (nc_open(path.c_str(), NC_NOWRITE, &id_) != NC_NOERR) throw std::runtime_error("cannot open " + path);
  }
  NcReader(const NcReader&) = delete;
  NcReader& operator=(const NcReader&) = delete;
  ~NcReader() { nc_close(id_); }

  int var(const std::string& name) const {
    int v = -1;
    if (nc_inq_varid(id_, name.c_str(), &v) != NC_NOERR) throw std::runtime_error("no variable " + name);
    return v;
  }
  std::size_t length(int var) const {
    int ndims = 0;
    int dims[NC_MAX_VAR_DIMS];
    nc_inq_var(id_, var, nullptr, nullptr, &ndims, dims, nullptr);
    std::size_t n = 1;
    for (int d = 0; d < ndims; ++d) {
      std::size_t len = 0;
      nc_inq_dimlen(id_, dims[d], &len);
      n *= len;
    }
    return n;
  }
  template <typename T>
  std::vector<T> values(const std::string& name) const {
    const int v = var(name);
    std::vector<T> out(length(v));
    int status = NC_NOERR;
    if constexpr (std::is_same_v<T, float>) status = nc_get_var_float(id_, v, out.data());
    if constexpr (std::is_same_v<T, double>) status = nc_get_var_double(id_, v, out.data());
    if constexpr (std::is_same_v<T, short>) status = nc_get_var_short(id_, v, out.data());
    if constexpr (std::is_same_v<T, char>) status = nc_get_var_text(id_, v, out.data());
    if (status != NC_NOERR) throw std::runtime_error("cannot read " + name);
    return out;
  }
  // Text attribute of a variable (NC_GLOBAL for the file); empty when absent.
  std::string text(int var, const std::string& att) const {
    std::size_t len = 0;
    if (nc_inq_attlen(id_, var, att.c_str(), &len) != NC_NOERR) return {};
    std::string s(len, '\0');
    nc_get_att_text(id_, var, att.c_str(), s.data());
    return s;
  }
  std::vector<short> shorts(int var, const std::string& att) const {
    std::size_t len = 0;
    if (nc_inq_attlen(id_, var, att.c_str(), &len) != NC_NOERR) return {};
    std::vector<short> v(len);
    nc_get_att_short(id_, var, att.c_str(), v.data());
    return v;
  }
  std::vector<std::string> variable_names() const {
    int n = 0;
    nc_inq_nvars(id_, &n);
    std::vector<std::string> names;
    for (int v = 0; v < n; ++v) {
      char name[NC_MAX_NAME + 1];
      nc_inq_varname(id_, v, name);
      names.emplace_back(name);
    }
    return names;
  }

 private:
  int id_ = -1;
};

// How a command ended: its exit status and what it wrote on standard error.
struct CommandResult {
  int status = -1;
  std::string error;
};

// Runs `command` through the shell with standard error captured in `scratch`/stderr.txt.
inline CommandResult run_command(const std::string& command, const std::filesystem::path& scratch) {
  const std::filesystem::path err = scratch / "stderr.txt";
  const int raw = std::system((command + " 2>" + err.string() + " >/dev/null").c_str());
  CommandResult r;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.error = read_file(err);
  std::filesystem::remove(err);
  return r;
}

}  // namespace sfmr::testing

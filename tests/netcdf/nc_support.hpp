// Helpers of the converter's tests: a netCDF file read back through the netCDF library, and the converter
// run as a user runs it.
#pragma once

#include <fcntl.h>
#include <netcdf.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/test_util.hpp"

namespace sfmr::testing {

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
  // Every value of a variable, which must be stored as T.
  template <typename T>
  std::vector<T> values(const std::string& name) const {
    const int v = var(name);
    int ndims = 0, dims[NC_MAX_VAR_DIMS];
    nc_inq_var(id_, v, nullptr, nullptr, &ndims, dims, nullptr);
    std::size_t n = 1, len = 0;
    for (int d = 0; d < ndims; ++d) n *= (nc_inq_dimlen(id_, dims[d], &len), len);
    std::vector<T> out(n);
    if (nc_get_var(id_, v, out.data()) != NC_NOERR) throw std::runtime_error("cannot read " + name);
    return out;
  }
  // An attribute of a variable (NC_GLOBAL for the file) as text, or as T values; empty when absent.
  std::string text(int var, const std::string& att) const {
    std::size_t len = 0;
    if (nc_inq_attlen(id_, var, att.c_str(), &len) != NC_NOERR) return {};
    std::string s(len, '\0');
    nc_get_att_text(id_, var, att.c_str(), s.data());
    return s;
  }
  template <typename T>
  std::vector<T> att(int var, const std::string& att) const {
    std::size_t len = 0;
    if (nc_inq_attlen(id_, var, att.c_str(), &len) != NC_NOERR) return {};
    std::vector<T> v(len);
    nc_get_att(id_, var, att.c_str(), v.data());
    return v;
  }
  std::string name(int var) const {
    char name[NC_MAX_NAME + 1] = "";
    nc_inq_varname(id_, var, name);
    return name;
  }
  int nvars() const {
    int n = 0;
    nc_inq_nvars(id_, &n);
    return n;
  }

 private:
  int id_ = -1;
};

struct CommandResult {
  int status = -1;
  std::string error;  // what the command wrote on standard error
};

// Runs `command` through the shell, its standard error captured through a file of its own in the temporary
// directory: ctest runs tests side by side in one working directory, and a shared name there would let one
// test read, truncate or remove another's.
inline CommandResult run_command(const std::string& command) {
  std::string err = (std::filesystem::temp_directory_path() / "sfmrtest-stderr-XXXXXX").string();
  const int fd = ::mkostemp(err.data(), O_CLOEXEC);
  if (fd < 0) throw std::runtime_error("cannot create " + err);
  ::close(fd);
  const int raw = std::system((command + " 2>'" + err + "' >/dev/null").c_str());
  CommandResult r{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, read_file(err)};
  std::filesystem::remove(err);
  return r;
}

}  // namespace sfmr::testing

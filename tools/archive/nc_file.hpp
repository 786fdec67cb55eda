// The one netCDF layer of the tools: every writer and reader of a netCDF file stands on it and never calls
// the library without its status check. A call that fails throws nc::Error "WHAT: the library's message",
// WHAT naming the variable, attribute or step.
//   File::create   a new netCDF-4 file (an existing one at the path is overwritten: callers create their own
//                  temporary name), in define mode
//   File::open     an existing file, read only
// Define mode: dimensions, variables (deflated, with _FillValue), attributes; end_define() then the data.
// A File that is destroyed unclosed closes without a check (a failure is already on its way); close()
// checks.
#pragma once

#include <netcdf.h>

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace sfmr::nc {

struct Error : std::runtime_error {
  explicit Error(const std::string& what, int status = NC_NOERR) : std::runtime_error(what), status(status) {}
  int status;  // the library's status, NC_NOERR for a failure found by the caller
};

// Throws Error("WHAT: message") unless `status` is NC_NOERR.
void check(int status, std::string_view what);

class File {
 public:
  // `what` names the step in the message of a failure.
  static File create(const std::string& path, std::string_view what = "create");
  static File open(const std::string& path);
  File(File&& other) noexcept : id_(other.id_), path_(std::move(other.path_)) { other.id_ = -1; }
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  File& operator=(File&&) = delete;
  ~File();
  void close();
  int id() const { return id_; }
  const std::string& path() const { return path_; }

  // ---- Define mode
  int dim(const char* name, std::size_t length);
  // A variable over `dims` (none: a scalar); deflated at `deflate_level` (with shuffle) when it has
  // dimensions and the level is above 0.
  int var(const char* name, nc_type type, std::initializer_list<int> dims, int deflate_level = 0);
  int var(const char* name, nc_type type, std::span<const int> dims, int deflate_level = 0);
  // _FillValue NC_FILL_FLOAT of a float variable; `value` of a double variable.
  void fill(int var);
  void fill(int var, double value);
  // Attributes of the variable's own type: text, NC_FLOAT, NC_INT, NC_DOUBLE, NC_SHORT, NC_BYTE.
  void text(int var, const char* name, std::string_view value);
  void floats(int var, const char* name, std::span<const float> values);
  void ints(int var, const char* name, std::span<const int> values);
  void doubles(int var, const char* name, std::span<const double> values);
  void shorts(int var, const char* name, std::span<const std::int16_t> values);
  void bytes(int var, const char* name, std::span<const std::int8_t> values);
  void end_define();

  // ---- Data mode
  // The whole of variable `var` from `data`, held in memory as the variable's own type (a float for
  // NC_FLOAT, a const char* per string for NC_STRING, ...).
  template <typename T>
  void put(int var, const T* data, std::string_view what) {
    check(nc_put_var(id_, var, data), what);
  }

  // ---- Reading
  // A text attribute (NUL padding dropped); empty when it is missing or not text.
  std::string text(int var, const char* name) const;
  // A numeric attribute of one value, as a double; nullopt when it is missing or holds another count or text.
  std::optional<double> number(int var, const char* name) const;
  bool has_attribute(int var, const char* name) const;
  std::optional<int> find_var(const char* name) const;
  std::optional<int> find_dim(const char* name) const;
  std::size_t dim_length(int dim) const;
  // The length of the one dimension of variable `var` (`name` in the messages); Error "variable NAME has N
  // dimensions, one expected" for a scalar or a variable of several dimensions.
  std::size_t series_length(int var, std::string_view name) const;
  // The whole of variable `var` (out.size() values), converted by the library to double or float; Error
  // naming `name` when it holds another count or cannot be converted (text).
  void get(int var, std::span<double> out, std::string_view name) const;
  void get(int var, std::span<float> out, std::string_view name) const;
  // A scalar string variable's value; Error naming `name` when it is not one.
  std::string string_value(int var, std::string_view name) const;

 private:
  File(int id, std::string path) : id_(id), path_(std::move(path)) {}
  int id_ = -1;
  std::string path_;
};

}  // namespace sfmr::nc

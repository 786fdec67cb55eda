#include "archive/nc_file.hpp"

#include <array>

namespace sfmr::nc {

void check(int status, std::string_view what) {
  if (status != NC_NOERR) throw Error(std::string(what) + ": " + nc_strerror(status), status);
}

File File::create(const std::string& path, std::string_view what) {
  int id = -1;
  check(nc_create(path.c_str(), NC_NETCDF4 | NC_CLOBBER, &id), what);
  return File(id, path);
}

File File::open(const std::string& path) {
  int id = -1;
  check(nc_open(path.c_str(), NC_NOWRITE, &id), path);
  return File(id, path);
}

File::~File() {
  if (id_ >= 0) nc_close(id_);
}

void File::close() {
  const int id = id_;
  id_ = -1;
  check(nc_close(id), "close");
}

int File::dim(const char* name, std::size_t length) {
  int d = -1;
  check(nc_def_dim(id_, name, length, &d), name);
  return d;
}

int File::var(const char* name, nc_type type, std::initializer_list<int> dims, int deflate_level) {
  return var(name, type, std::span<const int>(dims.begin(), dims.size()), deflate_level);
}

int File::var(const char* name, nc_type type, std::span<const int> dims, int deflate_level) {
  int v = -1;
  check(nc_def_var(id_, name, type, static_cast<int>(dims.size()), dims.data(), &v), name);
  if (!dims.empty() && deflate_level > 0) check(nc_def_var_deflate(id_, v, 1, 1, deflate_level), name);
  return v;
}

void File::fill(int var) {
  const float fill = NC_FILL_FLOAT;
  check(nc_def_var_fill(id_, var, 0, &fill), "_FillValue");
}

void File::fill(int var, double value) {
  check(nc_def_var_fill(id_, var, 0, &value), "_FillValue");
}

void File::doubles(int var, const char* name, std::span<const double> values) {
  check(nc_put_att_double(id_, var, name, NC_DOUBLE, values.size(), values.data()), name);
}

void File::shorts(int var, const char* name, std::span<const std::int16_t> values) {
  check(nc_put_att_short(id_, var, name, NC_SHORT, values.size(), values.data()), name);
}

void File::bytes(int var, const char* name, std::span<const std::int8_t> values) {
  check(nc_put_att_schar(id_, var, name, NC_BYTE, values.size(), values.data()), name);
}

void File::text(int var, const char* name, std::string_view value) {
  check(nc_put_att_text(id_, var, name, value.size(), value.data()), name);
}

void File::floats(int var, const char* name, std::span<const float> values) {
  check(nc_put_att_float(id_, var, name, NC_FLOAT, values.size(), values.data()), name);
}

void File::ints(int var, const char* name, std::span<const int> values) {
  check(nc_put_att_int(id_, var, name, NC_INT, values.size(), values.data()), name);
}

void File::end_define() {
  check(nc_enddef(id_), "enddef");
}

std::string File::text(int var, const char* name) const {
  std::size_t len = 0;
  nc_type type = NC_NAT;
  if (nc_inq_att(id_, var, name, &type, &len) != NC_NOERR || type != NC_CHAR) return {};
  std::string s(len, '\0');
  check(nc_get_att_text(id_, var, name, s.data()), name);
  while (!s.empty() && s.back() == '\0') s.pop_back();
  return s;
}

std::optional<int> File::find_var(const char* name) const {
  int v = -1;
  if (nc_inq_varid(id_, name, &v) != NC_NOERR) return std::nullopt;
  return v;
}

std::optional<int> File::find_dim(const char* name) const {
  int d = -1;
  if (nc_inq_dimid(id_, name, &d) != NC_NOERR) return std::nullopt;
  return d;
}

std::size_t File::dim_length(int dim) const {
  std::size_t len = 0;
  check(nc_inq_dimlen(id_, dim, &len), "dimension length");
  return len;
}

std::optional<double> File::number(int var, const char* name) const {
  nc_type type = NC_NAT;
  std::size_t count = 0;
  if (nc_inq_att(id_, var, name, &type, &count) != NC_NOERR || count != 1 || type == NC_CHAR ||
      type == NC_STRING)
    return std::nullopt;
  double value = 0.0;
  check(nc_get_att_double(id_, var, name, &value), name);
  return value;
}

bool File::has_attribute(int var, const char* name) const {
  return nc_inq_att(id_, var, name, nullptr, nullptr) == NC_NOERR;
}

std::size_t File::series_length(int var, std::string_view name) const {
  int ndims = 0;
  check(nc_inq_varndims(id_, var, &ndims), name);
  if (ndims != 1)
    throw Error("variable " + std::string(name) + " has " + std::to_string(ndims) +
                " dimensions, one expected");
  int dim = -1;
  check(nc_inq_vardimid(id_, var, &dim), name);
  return dim_length(dim);
}

namespace {

// The number of values of variable `var` of `file`: the product of its dimensions' lengths.
std::size_t value_count(const File& file, int var, std::string_view name) {
  int ndims = 0;
  check(nc_inq_varndims(file.id(), var, &ndims), name);
  std::array<int, NC_MAX_VAR_DIMS> dims{};
  check(nc_inq_vardimid(file.id(), var, dims.data()), name);
  std::size_t n = 1;
  for (int d = 0; d < ndims; ++d) n *= file.dim_length(dims[static_cast<std::size_t>(d)]);
  return n;
}

}  // namespace

void File::get(int var, std::span<double> out, std::string_view name) const {
  if (value_count(*this, var, name) != out.size())
    throw Error("variable " + std::string(name) + " holds another number of values");
  if (!out.empty()) check(nc_get_var_double(id_, var, out.data()), name);
}

void File::get(int var, std::span<float> out, std::string_view name) const {
  if (value_count(*this, var, name) != out.size())
    throw Error("variable " + std::string(name) + " holds another number of values");
  if (!out.empty()) check(nc_get_var_float(id_, var, out.data()), name);
}

std::string File::string_value(int var, std::string_view name) const {
  nc_type type = NC_NAT;
  int ndims = -1;
  check(nc_inq_var(id_, var, nullptr, &type, &ndims, nullptr, nullptr), name);
  if (type != NC_STRING || ndims != 0) throw Error("variable " + std::string(name) + " is not one string");
  char* text = nullptr;
  check(nc_get_var_string(id_, var, &text), name);
  std::string value = text != nullptr ? text : "";
  nc_free_string(1, &text);
  return value;
}

}  // namespace sfmr::nc

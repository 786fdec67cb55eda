#include "plot/scratch.hpp"

#include "common/cli.hpp"
#include "core/text.hpp"

namespace sfmr::plot {

std::string number(double v) {
  return format_trimmed(v, 4);
}

tool::ChildCommand helper(const std::vector<std::string>& argv, const std::filesystem::path& dir,
                          const std::filesystem::path& out) {
  return {.argv = argv,
          .dir = dir,
          .out = out.empty() ? tool::Sink::kDiscard : tool::Sink::kFile,
          .out_file = out};
}

void check(const tool::ChildResult& r, const std::string& program) {
  if (r.shell_status() != 0) tool::fail(r.failure_line(program, r.err.substr(0, r.err.find('\n'))));
}

}  // namespace sfmr::plot

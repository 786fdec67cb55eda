#include "plot/scratch.hpp"

#include "common/cli.hpp"
#include "core/text.hpp"

namespace sfmr::plot {

std::string number(double v) {
  const std::string text = format_F(v, 14, 4);
  return text.substr(text.find_first_not_of(' '));
}

tool::ChildCommand helper(const std::vector<std::string>& argv, const std::filesystem::path& dir,
                          const std::filesystem::path& out) {
  return {.argv = argv,
          .dir = dir,
          .out = out.empty() ? tool::Sink::kDiscard : tool::Sink::kFile,
          .out_file = out};
}

void check(const tool::ChildResult& r, const std::string& program) {
  if (!r.started) tool::fail(program + " could not be run (is it installed?)");
  if (r.shell_status() == 0) return;
  std::string detail = r.err.substr(0, r.err.find('\n'));
  tool::fail(program + " failed" + (detail.empty() ? " (" + r.failure() + ")" : ": " + detail));
}

}  // namespace sfmr::plot

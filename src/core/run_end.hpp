// The single way a run ends before the end of the raw file.
//
// A routine that must stop the program throws RunEnd; `main` catches it once, writes its message (if any) as
// a console line, lets every open file flush and close, and returns the status. Status 0 is the operator's
// own choice to stop; status 1 is an error that ends the run.
#pragma once

#include <string>
#include <utility>

namespace sfmr {

struct RunEnd {
  int status = 0;
  std::string message;  // console line written by main; empty for a silent end

  explicit RunEnd(int exit_status, std::string console_line = {})
      : status(exit_status), message(std::move(console_line)) {}
};

}  // namespace sfmr

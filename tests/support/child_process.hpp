// Runs a program as a child process, the way an operator's shell does: answers on standard input (or standard
// input closed), console captured, extra environment, an optional limit on the size of files it writes, and a
// time bound after which it is killed.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace sfmr::testing {

struct ChildOptions {
  std::optional<std::string> input;  // standard input; none: closed
  std::vector<std::string> env;      // NAME=VALUE added to the environment
  long file_size_limit = -1;         // bytes (RLIMIT_FSIZE, with SIGXFSZ ignored); negative: none
  double timeout_seconds = 60.0;     // then SIGKILL
};

struct ChildResult {
  bool exited = false;     // ended by exit (status below), not by a signal
  int status = -1;         // exit status
  int signal = 0;          // the signal that ended it, 0 when it exited
  bool timed_out = false;  // killed at the time bound
  std::string out;         // standard output
  double seconds = 0.0;    // wall time
};

ChildResult run_child(const std::string& program, const ChildOptions& options);

}  // namespace sfmr::testing

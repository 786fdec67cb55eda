// Running another program as a child process, the one way every companion tool and test does it: fork and
// exec without a shell, standard input from a file, a text, /dev/null or closed, each output stream captured,
// written to a file, passed through or discarded, and the end reported as an exit status or the signal that
// ended it.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sfmr::tool {

// Where a child's standard output or standard error goes.
enum class Sink {
  kCapture,  // into ChildResult::out / ChildResult::err
  kFile,     // into the file named in ChildCommand (created or truncated)
  kInherit,  // to the caller's own stream
  kDiscard,  // to /dev/null
};

struct ChildCommand {
  // The program and its arguments; argv[0] is looked up in PATH when it holds no '/'.
  std::vector<std::string> argv{};
  // Working directory of the child; empty: the caller's.
  std::filesystem::path dir{};
  // Standard input: the text `in_text` when set, else the file `in_file` when set, else /dev/null, or
  // closed altogether with `close_in`.
  std::optional<std::string> in_text{};
  std::filesystem::path in_file{};
  bool close_in = false;
  Sink out = Sink::kCapture;
  Sink err = Sink::kCapture;
  // The files for Sink::kFile; one path for both streams shares one file (the order of a terminal).
  std::filesystem::path out_file{}, err_file{};
  // NAME=VALUE entries added to (or replacing in) the caller's environment.
  std::vector<std::string> env{};
  // Limit on the size of a file the child writes, bytes (RLIMIT_FSIZE, with SIGXFSZ ignored); negative:
  // none.
  long file_size_limit = -1;
  // Wall time after which the child is killed (SIGKILL), seconds; zero or negative: none.
  double timeout_seconds = 0.0;
};

struct ChildResult {
  bool started = false;       // the program was found and executed
  std::string start_error{};  // why it was not, e.g. "cannot run gnuplot: No such file or directory"
  bool exited = false;        // ended by exit with `status`; otherwise by `signal` (or never started)
  int status = -1;            // exit status
  int signal = 0;             // the signal that ended it, 0 when it exited
  bool timed_out = false;     // killed at the time bound
  std::string out{}, err{};   // what Sink::kCapture collected
  double seconds = 0.0;       // wall time

  // The status as a shell reports it: the exit status, 128 + the signal number, or 127 when the program
  // could not be run.
  int shell_status() const;
  // One line about a child that did not succeed: "cannot run ...", "ended by signal N", "exit status N"
  // (empty when it exited with 0).
  std::string failure() const;
  // The one line every tool gives about a child `program` that did not succeed (empty when it did):
  // "PROGRAM: DETAIL" when it exited with a non-zero status and `detail` (its own error line) says why,
  // else "PROGRAM: " and failure(), with "; DETAIL" after a signal or the time limit. DETAIL that already
  // begins with "PROGRAM: " (a companion tool's own error line) is not prefixed again.
  std::string failure_line(std::string_view program, std::string_view detail = {}) const;
};

// Runs one child and waits for its end. Throws std::runtime_error only when the caller's own resources fail
// (no pipe, no fork); a program that cannot be run is a ChildResult with started == false.
ChildResult run_child(const ChildCommand& command);

// Runs the children side by side and waits for them all; the results are in the order of `commands`.
std::vector<ChildResult> run_children(const std::vector<ChildCommand>& commands);

// A child started at once and waited for later, its standard input a pipe the caller writes to: an
// interpreter given its first commands as it starts and the rest once their data exist (sfmrplot's gnuplot
// draws the time series while GMT computes the map's coastlines). The standard input named in the command
// is not used; the rest is as for run_child.
class FedChild {
 public:
  explicit FedChild(const ChildCommand& command);
  FedChild(const FedChild&) = delete;
  FedChild& operator=(const FedChild&) = delete;
  // A child that was not waited for is killed and reaped.
  ~FedChild();
  // Writes `text` to the child's standard input; false when the child no longer reads it.
  bool feed(std::string_view text);
  // Closes the child's standard input and waits for its end.
  ChildResult wait();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace sfmr::tool

// What the quick-look tools share beyond the data: where their scripts and data are, running a helper
// program, a scratch directory, and output written under a temporary name and renamed at the end.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace sfmr::look {

// The file `name` of the tool's shared data: in share/sfmrbatch beside the running program's bin/ when it is
// installed, else `source_relative` in the source tree. Empty when neither exists.
std::filesystem::path find_shared_file(const std::string& name, const std::string& source_relative);

// Runs `argv` (argv[0] looked up in PATH, no shell) in the directory `dir`, with standard input from `in`
// (/dev/null when empty), standard output into `out` and standard error into `err`. Returns the exit status,
// or -1 when the program could not be started or ended by a signal.
int run_program(const std::vector<std::string>& argv, const std::filesystem::path& dir,
                const std::filesystem::path& out, const std::filesystem::path& err,
                const std::filesystem::path& in = {});

// The two halves of run_program, to run programs side by side: start_program returns the process id (-1
// when it cannot fork), wait_program its exit status as run_program does.
int start_program(const std::vector<std::string>& argv, const std::filesystem::path& dir,
                  const std::filesystem::path& out, const std::filesystem::path& err,
                  const std::filesystem::path& in = {});
int wait_program(int pid);

// The first non-empty line of a text file, for a one-line message ("" when there is none).
std::string first_line_of(const std::filesystem::path& path);

// A new directory <parent>/.NAME-XXXXXX, removed with everything in it when the object goes.
class ScratchDir {
 public:
  ScratchDir(const std::filesystem::path& parent, const std::string& name);
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  ~ScratchDir();
  const std::filesystem::path& path() const { return path_; }
  bool ok() const { return !path_.empty(); }

 private:
  std::filesystem::path path_;
};

// A gnuplot string literal (single quotes, a quote doubled) of `text`.
std::string gnuplot_string(const std::string& text);

}  // namespace sfmr::look

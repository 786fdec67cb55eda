#include "look/tool_support.hpp"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

namespace sfmr::look {

std::filesystem::path find_shared_file(const std::string& name, const std::string& source_relative) {
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    const std::filesystem::path installed = exe.parent_path() / SFMR_SHARE_RELATIVE / name;
    if (std::filesystem::is_regular_file(installed, ec)) return installed.lexically_normal();
  }
  const std::filesystem::path source = std::filesystem::path(SFMR_SOURCE_TREE) / source_relative;
  if (std::filesystem::is_regular_file(source, ec)) return source;
  return {};
}

int start_program(const std::vector<std::string>& argv, const std::filesystem::path& dir,
                  const std::filesystem::path& out, const std::filesystem::path& err,
                  const std::filesystem::path& in) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  const pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    const int in_fd = open(in.empty() ? "/dev/null" : in.c_str(), O_RDONLY);
    const int out_fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err_fd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in_fd < 0 || out_fd < 0 || err_fd < 0 || chdir(dir.c_str()) != 0) _exit(127);
    dup2(in_fd, 0);
    dup2(out_fd, 1);
    dup2(err_fd, 2);
    execvp(args[0], args.data());
    _exit(127);
  }
  return pid;
}

int wait_program(int pid) {
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

int run_program(const std::vector<std::string>& argv, const std::filesystem::path& dir,
                const std::filesystem::path& out, const std::filesystem::path& err,
                const std::filesystem::path& in) {
  return wait_program(start_program(argv, dir, out, err, in));
}

std::string first_line_of(const std::filesystem::path& path) {
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);)
    if (line.find_first_not_of(" \t\r") != std::string::npos) return line;
  return "";
}

ScratchDir::ScratchDir(const std::filesystem::path& parent, const std::string& name) {
  std::string pattern = (parent / ("." + name + "-XXXXXX")).string();
  if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}

std::string gnuplot_string(const std::string& text) {
  std::string s = "'";
  for (char c : text) {
    if (c == '\'') s += '\'';
    s += c;
  }
  return s + "'";
}

}  // namespace sfmr::look

#include "support/child_process.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>

namespace sfmr::testing {

namespace {

[[noreturn]] void exec_child(const std::string& program, const ChildOptions& options, int in_fd, int out_fd) {
  if (in_fd >= 0) {
    ::dup2(in_fd, 0);
  } else {
    ::close(0);
  }
  ::dup2(out_fd, 1);
  for (const std::string& assignment : options.env) ::putenv(const_cast<char*>(assignment.c_str()));
  if (options.file_size_limit >= 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlim_t limit = static_cast<rlim_t>(options.file_size_limit);
    const rlimit r{limit, limit};
    ::setrlimit(RLIMIT_FSIZE, &r);
  }
  ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
  ::_exit(127);
}

}  // namespace

ChildResult run_child(const std::string& program, const ChildOptions& options) {
  // The answers go through a file, so that writing them can never wait on the child.
  int in_fd = -1;
  if (options.input) {
    char name[] = "/tmp/sfmrinput-XXXXXX";
    in_fd = ::mkstemp(name);
    if (in_fd < 0) throw std::runtime_error("mkstemp failed");
    ::unlink(name);
    if (::write(in_fd, options.input->data(), options.input->size()) !=
        static_cast<ssize_t>(options.input->size())) {
      throw std::runtime_error("cannot write the answers");
    }
    ::lseek(in_fd, 0, SEEK_SET);
  }
  int pipe_fds[2];
  if (::pipe(pipe_fds) != 0) throw std::runtime_error("pipe failed");
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    ::close(pipe_fds[0]);
    exec_child(program, options, in_fd, pipe_fds[1]);
  }
  ::close(pipe_fds[1]);
  if (in_fd >= 0) ::close(in_fd);

  ChildResult result;
  auto elapsed = [&start] {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  };
  char buffer[4096];
  for (;;) {
    pollfd p{pipe_fds[0], POLLIN, 0};
    const double left = options.timeout_seconds - elapsed();
    if (left <= 0.0) {
      ::kill(pid, SIGKILL);
      result.timed_out = true;
      break;
    }
    if (::poll(&p, 1, static_cast<int>(left * 1000.0) + 1) <= 0) continue;
    const ssize_t n = ::read(pipe_fds[0], buffer, sizeof buffer);
    if (n <= 0) break;
    result.out.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(pipe_fds[0]);
  int wait_status = 0;
  ::waitpid(pid, &wait_status, 0);
  result.seconds = elapsed();
  result.exited = WIFEXITED(wait_status);
  result.status = result.exited ? WEXITSTATUS(wait_status) : -1;
  result.signal = WIFSIGNALED(wait_status) ? WTERMSIG(wait_status) : 0;
  return result;
}

}  // namespace sfmr::testing

#include "common/process.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>

extern char** environ;

namespace sfmr::tool {
namespace {

using Clock = std::chrono::steady_clock;

// What the child was doing when it gave up, sent to the parent with errno through a close-on-exec pipe.
enum Stage : int { kExec, kChdir, kStdin, kStdout, kStderr };

struct Report {
  int stage = kExec;
  int error = 0;
};

// A descriptor closed when the holder goes.
class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  Fd(Fd&& o) noexcept : fd_(o.release()) {}
  Fd& operator=(Fd&& o) noexcept {
    reset(o.release());
    return *this;
  }
  ~Fd() { reset(); }
  int get() const { return fd_; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }

 private:
  int fd_ = -1;
};

void make_pipe(Fd& read_end, Fd& write_end) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
  read_end.reset(fds[0]);
  write_end.reset(fds[1]);
}

// The caller's environment with `extra` (NAME=VALUE) added, an entry of the same NAME replaced.
std::vector<std::string> environment_with(const std::vector<std::string>& extra) {
  std::vector<std::string> env;
  for (char** e = environ; e != nullptr && *e != nullptr; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('=') + 1);
    bool replaced = false;
    for (const std::string& x : extra) replaced = replaced || x.rfind(name, 0) == 0;
    if (!replaced) env.push_back(entry);
  }
  env.insert(env.end(), extra.begin(), extra.end());
  return env;
}

std::vector<char*> pointers(std::vector<std::string>& words) {
  std::vector<char*> p;
  for (std::string& w : words) p.push_back(w.data());
  p.push_back(nullptr);
  return p;
}

// A child under way: its process, the read ends of its captured streams, and its result so far.
struct Running {
  pid_t pid = -1;
  Fd out, err;
  Clock::time_point start, deadline;
  bool has_deadline = false;
  bool reaped = false;
  ChildResult result;
};

// Opens a stream of the child for one sink (in the child: only async-signal-safe calls).
int sink_fd(Sink sink, const char* file, int pipe_write, int shared_fd) {
  switch (sink) {
    case Sink::kCapture:
      return pipe_write;
    case Sink::kFile:
      return shared_fd >= 0 ? shared_fd : ::open(file, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    case Sink::kDiscard:
      return ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    case Sink::kInherit:
      break;
  }
  return -2;  // keep the inherited descriptor
}

[[noreturn]] void child_fail(int report_fd, int stage) {
  const Report r{stage, errno};
  [[maybe_unused]] const ssize_t n = ::write(report_fd, &r, sizeof r);
  ::_exit(127);
}

// The child's side, between fork and exec.
[[noreturn]] void exec_child(const ChildCommand& command, char* const* argv, char* const* envp, int in_fd,
                             int out_write, int err_write, int report_fd) {
  if (!command.dir.empty() && ::chdir(command.dir.c_str()) != 0) child_fail(report_fd, kChdir);
  if (command.close_in) {
    ::close(0);
  } else {
    if (in_fd < 0) in_fd = ::open(command.in_file.empty() ? "/dev/null" : command.in_file.c_str(), O_RDONLY);
    if (in_fd < 0 || ::dup2(in_fd, 0) < 0) child_fail(report_fd, kStdin);
  }
  const int out_fd = sink_fd(command.out, command.out_file.c_str(), out_write, -1);
  if (out_fd == -1 || (out_fd >= 0 && ::dup2(out_fd, 1) < 0)) child_fail(report_fd, kStdout);
  const bool shared =
      command.out == Sink::kFile && command.err == Sink::kFile && command.out_file == command.err_file;
  const int err_fd = sink_fd(command.err, command.err_file.c_str(), err_write, shared ? 1 : -1);
  if (err_fd == -1 || (err_fd >= 0 && ::dup2(err_fd, 2) < 0)) child_fail(report_fd, kStderr);
  if (command.file_size_limit >= 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlim_t limit = static_cast<rlim_t>(command.file_size_limit);
    const rlimit r{limit, limit};
    ::setrlimit(RLIMIT_FSIZE, &r);
  }
  ::execvpe(argv[0], argv, envp);
  child_fail(report_fd, kExec);
}

std::string start_error(const ChildCommand& command, const Report& r) {
  const std::string why = std::strerror(r.error);
  switch (r.stage) {
    case kChdir:
      return "cannot enter " + command.dir.string() + ": " + why;
    case kStdin:
      return "cannot open " +
             (command.in_file.empty() ? std::string("/dev/null") : command.in_file.string()) + ": " + why;
    case kStdout:
      return "cannot open " + command.out_file.string() + ": " + why;
    case kStderr:
      return "cannot open " + command.err_file.string() + ": " + why;
    default:
      return "cannot run " + command.argv.front() + ": " + why;
  }
}

// Standard input from a text: through an unlinked temporary file, so that writing it never waits on the
// child.
Fd text_input(const std::string& text) {
  char name[] = "/tmp/sfmrinput-XXXXXX";
  Fd fd(::mkostemp(name, O_CLOEXEC));
  if (fd.get() < 0)
    throw std::runtime_error(std::string("cannot make an input file: ") + std::strerror(errno));
  ::unlink(name);
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd.get(), text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw std::runtime_error(std::string("cannot write an input file: ") + std::strerror(errno));
    done += static_cast<std::size_t>(n);
  }
  ::lseek(fd.get(), 0, SEEK_SET);
  return fd;
}

// Starts the child; with `stdin_write` its standard input is a pipe whose write end is left there.
void start(const ChildCommand& command, Running& run, Fd* stdin_write = nullptr) {
  if (command.argv.empty() || command.argv.front().empty())
    throw std::invalid_argument("run_child: no program");
  std::vector<std::string> words = command.argv;
  std::vector<std::string> env = environment_with(command.env);
  const std::vector<char*> argv = pointers(words), envp = pointers(env);
  Fd input;
  if (stdin_write != nullptr)
    make_pipe(input, *stdin_write);
  else if (command.in_text && !command.close_in)
    input = text_input(*command.in_text);
  Fd out_write, err_write, report_read, report_write;
  if (command.out == Sink::kCapture) make_pipe(run.out, out_write);
  if (command.err == Sink::kCapture) make_pipe(run.err, err_write);
  make_pipe(report_read, report_write);
  run.start = Clock::now();
  run.pid = ::fork();
  if (run.pid < 0) throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
  if (run.pid == 0) {
    exec_child(command, argv.data(), envp.data(), input.get(), out_write.get(), err_write.get(),
               report_write.get());
  }
  report_write.reset();
  Report report;
  ssize_t n;
  while ((n = ::read(report_read.get(), &report, sizeof report)) < 0 && errno == EINTR) {
  }
  input.reset();  // the child's copy is its standard input now
  run.result.started = n != static_cast<ssize_t>(sizeof report);
  if (!run.result.started) run.result.start_error = start_error(command, report);
  if (command.timeout_seconds > 0.0) {
    run.has_deadline = true;
    run.deadline = run.start + std::chrono::duration_cast<Clock::duration>(
                                   std::chrono::duration<double>(command.timeout_seconds));
  }
}

// Reads what is there on one captured stream; closes it at its end.
void drain(Fd& fd, std::string& into) {
  char buffer[65536];
  const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
  if (n > 0) {
    into.append(buffer, static_cast<std::size_t>(n));
  } else if (n == 0 || errno != EINTR) {
    fd.reset();
  }
}

void reap(Running& run, int wait_status) {
  run.reaped = true;
  run.result.seconds = std::chrono::duration<double>(Clock::now() - run.start).count();
  run.result.exited = WIFEXITED(wait_status) && run.result.started;
  run.result.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : -1;
  run.result.signal = WIFSIGNALED(wait_status) ? WTERMSIG(wait_status) : 0;
}

// Reads the children's captured streams until they close and waits for the children's ends.
void finish(std::vector<Running>& runs) {
  for (;;) {
    std::vector<pollfd> fds;
    std::vector<std::pair<Fd*, std::string*>> streams;
    Running* unread = nullptr;  // a child with nothing left to read, to be waited for
    bool timed = false;
    const auto now = Clock::now();
    for (Running& run : runs) {
      if (run.reaped) continue;
      if (run.has_deadline && now >= run.deadline && !run.result.timed_out) {
        ::kill(run.pid, SIGKILL);
        run.result.timed_out = true;
        run.out.reset();  // a grandchild may hold the pipes open
        run.err.reset();
      }
      timed = timed || run.has_deadline;
      for (auto [fd, text] : {std::pair{&run.out, &run.result.out}, std::pair{&run.err, &run.result.err}}) {
        if (fd->get() < 0) continue;
        fds.push_back({fd->get(), POLLIN, 0});
        streams.emplace_back(fd, text);
      }
      if (run.out.get() < 0 && run.err.get() < 0) {
        int wait_status = 0;
        const pid_t got = ::waitpid(run.pid, &wait_status, WNOHANG);
        if (got == run.pid) {
          reap(run, wait_status);
        } else if (got < 0 && errno != EINTR) {
          throw std::runtime_error(std::string("waitpid: ") + std::strerror(errno));
        } else if (unread == nullptr) {
          unread = &run;
        }
      }
    }
    if (fds.empty() && unread == nullptr) break;
    if (fds.empty() && !timed) {
      // Nothing to read and no time bound: waiting for this child cannot hold up another.
      int wait_status = 0;
      if (::waitpid(unread->pid, &wait_status, 0) == unread->pid) reap(*unread, wait_status);
      continue;
    }
    if (fds.empty()) {
      ::usleep(10000);
      continue;
    }
    const int ready = ::poll(fds.data(), fds.size(), timed || unread != nullptr ? 10 : -1);
    if (ready < 0 && errno != EINTR) throw std::runtime_error(std::string("poll: ") + std::strerror(errno));
    for (std::size_t k = 0; ready > 0 && k < fds.size(); ++k) {
      if (fds[k].revents != 0) drain(*streams[k].first, *streams[k].second);
    }
  }
}

}  // namespace

int ChildResult::shell_status() const {
  if (!started) return 127;
  return exited ? status : 128 + signal;
}

std::string ChildResult::failure() const {
  if (!started) return start_error;
  if (timed_out) return "killed after its time limit";
  if (!exited) return "ended by signal " + std::to_string(signal) + " (" + strsignal(signal) + ")";
  return status == 0 ? std::string() : "exit status " + std::to_string(status);
}

std::string ChildResult::failure_line(std::string_view program, std::string_view detail) const {
  const std::string what = failure();
  if (what.empty()) return {};
  std::string line = started && exited && !timed_out && !detail.empty() ? std::string(detail)
                     : !started || detail.empty()                       ? what
                                                                        : what + "; " + std::string(detail);
  const std::string prefix = std::string(program) + ": ";
  return line.starts_with(prefix) ? line : prefix + line;
}

std::vector<ChildResult> run_children(const std::vector<ChildCommand>& commands) {
  std::vector<Running> runs(commands.size());
  for (std::size_t i = 0; i < commands.size(); ++i) {
    try {
      start(commands[i], runs[i]);
    } catch (...) {
      // The children already under way are not left behind.
      for (std::size_t k = 0; k < i; ++k) {
        ::kill(runs[k].pid, SIGKILL);
        while (::waitpid(runs[k].pid, nullptr, 0) < 0 && errno == EINTR) {
        }
      }
      throw;
    }
  }
  finish(runs);
  std::vector<ChildResult> results;
  for (Running& run : runs) results.push_back(std::move(run.result));
  return results;
}

ChildResult run_child(const ChildCommand& command) {
  return std::move(run_children({command}).front());
}

struct FedChild::State {
  std::vector<Running> runs = std::vector<Running>(1);
  Fd in;
  bool waited = false;
};

FedChild::FedChild(const ChildCommand& command) : state_(std::make_unique<State>()) {
  start(command, state_->runs[0], &state_->in);
}

FedChild::~FedChild() {
  if (state_->waited) return;
  Running& run = state_->runs[0];
  ::kill(run.pid, SIGKILL);
  while (::waitpid(run.pid, nullptr, 0) < 0 && errno == EINTR) {
  }
}

bool FedChild::feed(std::string_view text) {
  // A child that has ended makes the write fail with EPIPE and raise SIGPIPE, which would end this
  // process: the signal is blocked around the write and taken back if it came.
  sigset_t pipe_signal, before;
  sigemptyset(&pipe_signal);
  sigaddset(&pipe_signal, SIGPIPE);
  ::pthread_sigmask(SIG_BLOCK, &pipe_signal, &before);
  bool ok = state_->in.get() >= 0;
  for (std::size_t done = 0; ok && done < text.size();) {
    const ssize_t n = ::write(state_->in.get(), text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      if (errno == EPIPE) {
        const timespec now{0, 0};
        while (::sigtimedwait(&pipe_signal, nullptr, &now) < 0 && errno == EINTR) {
        }
      }
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
  return ok;
}

ChildResult FedChild::wait() {
  state_->in.reset();
  finish(state_->runs);
  state_->waited = true;
  return std::move(state_->runs[0].result);
}

}  // namespace sfmr::tool

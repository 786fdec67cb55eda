// Faults for whole-program tests, loaded into sfmrbatch with LD_PRELOAD and steered by the environment:
//   SFMR_FAULT_READ=SUFFIX:OFFSET:ERRNO  a read of a file whose path ends in SUFFIX fails with ERRNO once it
//                                        reaches byte OFFSET (a read across OFFSET delivers the bytes before
//                                        it)
//   SFMR_FAULT_CREATE=SUFFIX:ERRNO       creating a file whose path ends in SUFFIX fails with ERRNO
// Everything else passes through to the C library unchanged.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct Fault {
  std::string suffix;
  long offset = 0;
  int error = 0;
  bool active = false;
};

// "SUFFIX:A[:B]" with the numbers A and B.
Fault parse(const char* variable, bool with_offset) {
  Fault f;
  const char* value = std::getenv(variable);
  if (value == nullptr) return f;
  const std::string text = value;
  const std::size_t first = text.find(':');
  if (first == std::string::npos) return f;
  f.suffix = text.substr(0, first);
  const std::string numbers = text.substr(first + 1);
  const std::size_t second = numbers.find(':');
  if (with_offset) {
    if (second == std::string::npos) return f;
    f.offset = std::atol(numbers.substr(0, second).c_str());
    f.error = std::atoi(numbers.substr(second + 1).c_str());
  } else {
    f.error = std::atoi(numbers.c_str());
  }
  f.active = !f.suffix.empty() && f.error > 0;
  return f;
}

const Fault& read_fault() {
  static const Fault f = parse("SFMR_FAULT_READ", true);
  return f;
}

const Fault& create_fault() {
  static const Fault f = parse("SFMR_FAULT_CREATE", false);
  return f;
}

bool ends_with(const std::string& s, const std::string& suffix) {
  return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string path_of_fd(int fd) {
  char link[64];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  char target[4096];
  const ssize_t n = ::readlink(link, target, sizeof target - 1);
  return n > 0 ? std::string(target, static_cast<std::size_t>(n)) : std::string();
}

template <typename F>
F next_symbol(const char* name) {
  return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

int open_with(const char* path, int flags, mode_t mode) {
  const Fault& f = create_fault();
  if (f.active && (flags & O_CREAT) && ends_with(path, f.suffix)) {
    errno = f.error;
    return -1;
  }
  // On the 64-bit systems this runs on, open and open64 are one and the same call.
  using Open = int (*)(const char*, int, ...);
  static Open real_open = next_symbol<Open>("open");
  return real_open(path, flags, mode);
}

mode_t mode_argument(int flags, va_list args) {
  return (flags & (O_CREAT | O_TMPFILE)) ? static_cast<mode_t>(va_arg(args, int)) : 0;
}

}  // namespace

extern "C" ssize_t read(int fd, void* buf, size_t count) {
  using Read = ssize_t (*)(int, void*, size_t);
  static Read real_read = next_symbol<Read>("read");
  const Fault& f = read_fault();
  if (f.active && fd > 2 && ends_with(path_of_fd(fd), f.suffix)) {
    const off_t at = ::lseek(fd, 0, SEEK_CUR);
    if (at >= f.offset) {
      errno = f.error;
      return -1;
    }
    if (at >= 0 && static_cast<long>(at + static_cast<off_t>(count)) > f.offset) {
      count = static_cast<size_t>(f.offset - at);
    }
  }
  return real_read(fd, buf, count);
}

extern "C" int open(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = mode_argument(flags, args);
  va_end(args);
  return open_with(path, flags, mode);
}

extern "C" int open64(const char* path, int flags, ...) __attribute__((alias("open")));

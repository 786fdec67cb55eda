#include "core/files.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "core/run_end.hpp"

namespace sfmr {

namespace {

// Opens `path` read-only with the system's status; a directory never counts as a readable file.
int open_readable_fd(const std::string& path, int& fd) {
  fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno != 0 ? errno : EIO;
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    const int status = errno != 0 ? errno : EIO;
    ::close(fd);
    return status;
  }
  if (S_ISDIR(st.st_mode)) {
    ::close(fd);
    return kIsDirectory;
  }
  return 0;
}

}  // namespace

int probe_readable(std::string_view name) {
  int fd = -1;
  const int status = open_readable_fd(std::string(trimmed(name)), fd);
  if (status == 0) ::close(fd);
  return status;
}

int TextFile::open(std::string_view name, std::size_t line_length) {
  close();
  const std::string path(trimmed(name));
  int fd = -1;
  const int status = open_readable_fd(path, fd);
  if (status != 0) return status;
  ::close(fd);
  errno = 0;
  stream_.open(path, std::ios::in | std::ios::binary);
  if (!stream_.is_open()) return errno != 0 ? errno : EIO;
  reader_ = std::make_unique<LineReader>(stream_, line_length);
  return 0;
}

int TextFile::read(std::string& line) {
  if (!reader_) return EBADF;
  return reader_->read(line);
}

void TextFile::rewind() {
  stream_.clear();
  stream_.seekg(0);
}

void TextFile::close() {
  if (stream_.is_open()) stream_.close();
  reader_.reset();
  stream_.clear();
}

OutFile& OutFile::operator=(OutFile&& other) noexcept {
  if (this != &other) {
    if (file_) std::fclose(file_);
    file_ = other.file_;
    other.file_ = nullptr;
  }
  return *this;
}

OutFile::~OutFile() {
  if (file_) std::fclose(file_);
}

int OutFile::create(std::string_view name) {
  const std::string path(trimmed(name));
  // O_EXCL makes the existence test and the creation one step: nothing can slip in between.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) {
    const int status = errno != 0 ? errno : EIO;
    return status == EEXIST ? kFileExists : status;
  }
  std::FILE* file = ::fdopen(fd, "wb");
  if (!file) {
    const int status = errno != 0 ? errno : EIO;
    ::close(fd);
    return status;
  }
  if (file_) std::fclose(file_);
  file_ = file;
  return 0;
}

void OutFile::write_line(std::string_view text) {
  if (!file_ || std::fwrite(text.data(), 1, text.size(), file_) != text.size() ||
      std::fwrite(kLineEnd.data(), 1, kLineEnd.size(), file_) != kLineEnd.size() || std::ferror(file_)) {
    throw RunEnd(1, "Write error on output file.");
  }
}

void OutFile::close() {
  if (!file_) return;
  std::FILE* file = file_;
  file_ = nullptr;
  if (std::fclose(file) != 0) throw RunEnd(1, "Write error on output file.");
}

}  // namespace sfmr

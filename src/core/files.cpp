#include "core/files.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

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

namespace {
constexpr std::size_t kBlockSize = 1 << 16;
}  // namespace

int TextFile::open(std::string_view name, std::size_t line_length) {
  close();
  int fd = -1;
  const int status = open_readable_fd(std::string(trimmed(name)), fd);
  if (status != 0) return status;
  fd_ = fd;
  length_ = line_length;
  block_.resize(kBlockSize);
  padded_.assign(length_, ' ');
  rewind();
  return 0;
}

TextFile& TextFile::operator=(TextFile&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = std::exchange(other.fd_, -1);
    length_ = other.length_;
    block_ = std::move(other.block_);
    pos_ = std::exchange(other.pos_, 0);
    end_ = std::exchange(other.end_, 0);
    at_end_ = std::exchange(other.at_end_, false);
    long_ = std::move(other.long_);
    padded_ = std::move(other.padded_);
  }
  return *this;
}

int TextFile::next_line(std::string_view& text) {
  bool in_long = false;  // long_ holds the start of this line
  for (;;) {
    const char* data = block_.data();
    const void* lf = std::memchr(data + pos_, '\n', end_ - pos_);
    if (lf != nullptr) {
      const auto at = static_cast<std::size_t>(static_cast<const char*>(lf) - data);
      std::string_view piece(data + pos_, at - pos_);
      pos_ = at + 1;
      if (in_long) {
        long_.append(
            piece.substr(0, std::min(piece.size(), length_ + 1 - std::min(long_.size(), length_ + 1))));
        piece = long_;
      }
      if (!piece.empty() && piece.back() == '\r') piece.remove_suffix(1);
      text = piece;
      return 0;
    }
    if (at_end_) {
      if (pos_ == end_ && !in_long) return kEndOfInput;
      std::string_view piece(data + pos_, end_ - pos_);
      pos_ = end_;
      if (in_long) {
        long_.append(
            piece.substr(0, std::min(piece.size(), length_ + 1 - std::min(long_.size(), length_ + 1))));
        piece = long_;
      }
      text = piece;  // a last line without a line feed keeps a final carriage return
      return 0;
    }
    // Keep the unfinished line at the front of the block and fill the rest.
    if (pos_ > 0) {
      std::memmove(block_.data(), block_.data() + pos_, end_ - pos_);
      end_ -= pos_;
      pos_ = 0;
    }
    if (end_ == block_.size()) {  // a line longer than the block: keep only what the buffer can show
      if (!in_long) long_.clear();
      in_long = true;
      long_.append(block_.data(), std::min(end_, length_ + 1 - std::min(long_.size(), length_ + 1)));
      pos_ = end_ = 0;
    }
    errno = 0;
    const ssize_t n = ::read(fd_, block_.data() + end_, block_.size() - end_);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno != 0 ? errno : EIO;
    }
    if (n == 0) at_end_ = true;
    end_ += static_cast<std::size_t>(n);
  }
}

int TextFile::read(std::string_view& line) {
  if (fd_ < 0) return EBADF;
  std::string_view text;
  const int status = next_line(text);
  if (status != 0) return status;
  const std::size_t n = std::min(text.size(), length_);
  padded_.replace(0, n, text.data(), n);
  std::fill(padded_.begin() + static_cast<std::ptrdiff_t>(n), padded_.end(), ' ');
  line = padded_;
  return 0;
}

int TextFile::read(std::string& line) {
  std::string_view view;
  const int status = read(view);
  if (status == 0) line.assign(view);
  return status;
}

void TextFile::rewind() {
  if (fd_ >= 0) ::lseek(fd_, 0, SEEK_SET);
  pos_ = end_ = 0;
  at_end_ = false;
}

void TextFile::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  pos_ = end_ = 0;
  at_end_ = false;
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

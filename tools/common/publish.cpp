#include "common/publish.hpp"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/cli.hpp"

namespace sfmr::tool {
namespace fs = std::filesystem;
namespace {

std::string reason(int error) {
  return std::strerror(error);
}

// Data of a file (or a directory's entries) on the disk.
bool sync_path(const fs::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

// The permissions a new file of this process gets (0666 less the umask), for the temporary, which mkstemp
// makes private.
mode_t new_file_mode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

fs::path directory_of(const fs::path& target) {
  const fs::path dir = target.parent_path();
  return dir.empty() ? fs::path(".") : dir;
}

}  // namespace

void check_replaceable(const fs::path& target, Replace replace) {
  std::error_code ec;
  const fs::file_status st = fs::symlink_status(target, ec);
  if (fs::is_directory(st)) fail(target.string() + ": is a directory");
  if (replace == Replace::kNever && fs::exists(st)) fail(target.string() + ": exists (--force replaces it)");
}

Publisher::Publisher(fs::path target, Replace replace) : target_(std::move(target)), replace_(replace) {
  if (target_.empty() || !target_.has_filename()) fail("'" + target_.string() + "': not a file name");
  check_replaceable(target_, replace_);
  const fs::path dir = directory_of(target_);
  std::string leaf = ".";
  leaf += target_.filename().string();
  leaf += ".tmp-XXXXXX";
  std::string pattern = (dir / leaf).string();
  const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (fd < 0) fail(target_.string() + ": cannot write in " + dir.string() + " (" + reason(errno) + ")");
  ::fchmod(fd, new_file_mode());
  ::close(fd);
  temp_ = pattern;
}

Publisher::~Publisher() {
  if (committed_) return;
  if (stream_.is_open()) stream_.close();
  std::error_code ec;
  fs::remove(temp_, ec);
}

std::ostream& Publisher::stream() {
  if (!stream_.is_open()) {
    stream_.open(temp_, std::ios::binary | std::ios::trunc);
    if (!stream_) fail(target_.string() + ": cannot write " + temp_.string());
  }
  return stream_;
}

void Publisher::commit() {
  if (committed_) return;
  auto give_up = [this](const std::string& what) {
    std::error_code ec;
    fs::remove(temp_, ec);
    committed_ = true;  // nothing left to remove
    fail(target_.string() + ": " + what);
  };
  if (stream_.is_open()) {
    stream_.close();
    if (!stream_) give_up("cannot write (" + reason(errno) + ")");
  }
  if (!sync_path(temp_)) give_up("cannot write (" + reason(errno) + ")");
  if (replace_ == Replace::kAlways) {
    if (::rename(temp_.c_str(), target_.c_str()) != 0) give_up("cannot write (" + reason(errno) + ")");
  } else {
    // A hard link fails when the name was taken meanwhile, where a rename would replace it.
    if (::link(temp_.c_str(), target_.c_str()) != 0) {
      const int e = errno;
      give_up(e == EEXIST ? "exists (--force replaces it)" : "cannot write (" + reason(e) + ")");
    }
    ::unlink(temp_.c_str());
  }
  committed_ = true;
  sync_path(directory_of(target_));
}

void publish_text(const fs::path& target, std::string_view text, Replace replace) {
  Publisher file(target, replace);
  file.stream().write(text.data(), static_cast<std::streamsize>(text.size()));
  file.commit();
}

ScratchDir::ScratchDir(const fs::path& parent, std::string_view name) {
  std::string leaf = ".";
  leaf += name;
  leaf += "-XXXXXX";
  std::string pattern = (parent / leaf).string();
  if (::mkdtemp(pattern.data()) == nullptr)
    fail("cannot make a scratch directory in " + parent.string() + " (" + reason(errno) + ")");
  path_ = pattern;
}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

}  // namespace sfmr::tool

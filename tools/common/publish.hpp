// Publishing a result file the safe way: written under a temporary name in the result's own directory,
// synced, and renamed to its name only when complete, so that a reader sees the whole file or none, and a
// failure (an error, an exception, a signal's exit through main) leaves nothing behind. A file that is
// already there is replaced only when the caller says so (a tool's --force).
#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace sfmr::tool {

enum class Replace {
  kNever,   // an existing file is an error (checked when the Publisher is made and again at commit)
  kAlways,  // an existing file is replaced (a tool's --force, or a file the tool itself made before)
};

// One result file on its way. Making it checks that the name may be used and creates the temporary
// <dir>/.<name>.tmp-XXXXXX; write into it through stream() or by path (for libraries that open files by
// name); commit() publishes it. Destroyed without commit() (an early return or an exception), it removes the
// temporary. Every failure throws ToolFailure (common/cli.hpp) with a one-line message naming the file.
class Publisher {
 public:
  Publisher(std::filesystem::path target, Replace replace);
  Publisher(const Publisher&) = delete;
  Publisher& operator=(const Publisher&) = delete;
  ~Publisher();

  const std::filesystem::path& target() const { return target_; }
  const std::filesystem::path& temp_path() const { return temp_; }
  // The temporary opened for binary writing (opened on the first call).
  std::ostream& stream();

  // Flushes and syncs the temporary, moves it to the target name (with Replace::kNever only when the name
  // is still free) and syncs the directory. Throws ToolFailure; the temporary is gone either way.
  void commit();

 private:
  std::filesystem::path target_, temp_;
  Replace replace_;
  std::ofstream stream_;
  bool committed_ = false;
};

// Publishes `text` as the whole content of `target`.
void publish_text(const std::filesystem::path& target, std::string_view text, Replace replace);

// Throws ToolFailure "<target>: exists (--force replaces it)" when `target` exists and may not be replaced;
// for checking every result of a tool before any work is done.
void check_replaceable(const std::filesystem::path& target, Replace replace);

// A new private directory <parent>/.NAME-XXXXXX for a tool's intermediate files, removed with everything in
// it when the object goes. Throws ToolFailure when it cannot be made.
class ScratchDir {
 public:
  ScratchDir(const std::filesystem::path& parent, std::string_view name);
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  ~ScratchDir();
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Replace::kAlways with --force, else Replace::kNever.
inline Replace replace_if(bool force) {
  return force ? Replace::kAlways : Replace::kNever;
}

}  // namespace sfmr::tool

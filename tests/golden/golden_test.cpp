// The golden corpus: whole runs of the sfmrbatch executable over the cases under tests/data/golden/, each
// compared byte for byte with the console transcript, the exit status and every file the run created.
//
// A case is a directory holding
//   input/            files copied into the run's working directory (raw file, calibration, setup, ...)
//   answers           the console answers, fed to standard input
//   mask              optional: "hex" (default), "char" or "none": the land mask put in the parent directory
//   expected_console  standard output of the run
//   expected_status   the exit status
//   expected/         every file the run created, by name
// The 8 MB SST grid is made at test time (named sst.bin in the working directory unless input/ has one), and
// so are the masks: the hexadecimal one unpacked from the sample's, the character one converted from it.
//
// With SFMR_GOLDEN=record the expected files of a case that has none are written; an existing expectation
// that differs still fails. SFMR_GOLDEN=accept rewrites every expectation (tests/data/golden/make_golden.sh).
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "sim/sst_grid.hpp"
#include "support/test_util.hpp"

namespace sfmr {
namespace {

namespace fs = std::filesystem;
using sfmr::testing::read_file;
using sfmr::testing::write_file;

const fs::path kCases = fs::path(SFMR_SOURCE_DIR) / "tests" / "data" / "golden";

// Shell quoting of a path.
std::string quoted(const fs::path& p) {
  std::string q = "'";
  for (char c : p.string()) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// The character encoding of a hexadecimal mask: one blank and one mark ("1" land, "0" sea) per cell, 100
// cells a line.
void write_character_mask(const fs::path& hex, const fs::path& out_path) {
  std::ifstream in(hex, std::ios::binary);
  std::ofstream out(out_path, std::ios::binary);
  std::string line;
  std::string text;
  int marks = 0;
  while (std::getline(in, line)) {
    for (char c : line) {
      if (c == '\r' || c == ' ') continue;
      const int v = c <= '9' ? c - '0' : c - 'A' + 10;
      for (int bit = 8; bit > 0; bit >>= 1) {
        text += ' ';
        text += (v & bit) != 0 ? '1' : '0';
        if (++marks == 100) {
          text += '\n';
          out << text;
          text.clear();
          marks = 0;
        }
      }
    }
  }
  if (!text.empty()) out << text << '\n';
}

// The files every case shares, made once per test run.
struct Shared {
  fs::path root;
  fs::path grid;
  fs::path hex_mask;
  fs::path char_mask;

  Shared() {
    std::string pattern = (fs::temp_directory_path() / "sfmrgolden-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    root = pattern;
    grid = root / "sst.bin";
    std::ofstream g(grid, std::ios::binary);
    sim::write_sst_grid(g);
    g.close();
    hex_mask = root / "mask_hex.txt";
    const fs::path packed = fs::path(SFMR_SOURCE_DIR) / "sample" / "landmask" / "mwir_land.txt.gz";
    if (std::system(("gzip -dc " + quoted(packed) + " > " + quoted(hex_mask)).c_str()) != 0)
      throw std::runtime_error("cannot unpack the land mask");
    char_mask = root / "mask_char.txt";
    write_character_mask(hex_mask, char_mask);
  }
  ~Shared() {
    std::error_code ec;
    fs::remove_all(root, ec);
  }
};

struct Outcome {
  std::string console;
  std::string status;
  std::vector<std::pair<std::string, std::string>> files;  // name, content; sorted by name
};

std::string first_word(const fs::path& p, const std::string& fallback) {
  if (!fs::exists(p)) return fallback;
  std::string w = read_file(p);
  while (!w.empty() && (w.back() == '\n' || w.back() == ' ')) w.pop_back();
  return w;
}

Outcome run_case(const Shared& shared, const fs::path& dir) {
  const fs::path parent = shared.root / dir.filename();
  const fs::path work = parent / "work";
  fs::create_directories(work);
  const std::string mask = first_word(dir / "mask", "hex");
  if (mask == "hex") fs::create_symlink(shared.hex_mask, parent / "mwir_land.txt");
  if (mask == "char") fs::create_symlink(shared.char_mask, parent / "mwir_land.txt");
  if (fs::exists(dir / "input")) fs::copy(dir / "input", work, fs::copy_options::recursive);
  if (!fs::exists(work / "sst.bin")) fs::create_symlink(shared.grid, work / "sst.bin");
  std::set<std::string> before;
  for (const auto& e : fs::directory_iterator(work)) before.insert(e.path().filename().string());

  const std::string command = "cd " + quoted(work) + " && " + quoted(SFMR_BINARY) + " < " +
                              quoted(dir / "answers") + " > ../console.txt";
  const int raw = std::system(command.c_str());
  Outcome o;
  o.status = std::to_string(WIFEXITED(raw) ? WEXITSTATUS(raw) : 256 + raw) + "\n";
  o.console = read_file(parent / "console.txt");
  for (const auto& e : fs::directory_iterator(work)) {
    const std::string name = e.path().filename().string();
    if (!before.contains(name)) o.files.emplace_back(name, read_file(e.path()));
  }
  std::sort(o.files.begin(), o.files.end());
  return o;
}

// Empty when equal; otherwise the first differing line and column with both lines.
std::string first_difference(const std::string& want, const std::string& got) {
  if (want == got) return {};
  const std::size_t at = static_cast<std::size_t>(
      std::mismatch(want.begin(), want.end(), got.begin(), got.end()).first - want.begin());
  const std::size_t line_start = at == 0 ? 0 : want.rfind('\n', at - 1) + 1;  // npos + 1 == 0
  const std::size_t line = static_cast<std::size_t>(std::count(want.begin(), want.begin() + at, '\n')) + 1;
  auto line_of = [line_start](const std::string& s) {
    if (line_start >= s.size()) return std::string("<end of file>");
    return s.substr(line_start, std::min(s.find('\n', line_start), s.size()) - line_start);
  };
  return "line " + std::to_string(line) + ", column " + std::to_string(at - line_start + 1) +
         "\n  want: " + line_of(want) + "\n  got:  " + line_of(got);
}

// Compares one expected file (or records it, see above); returns the failure text.
std::string check(const fs::path& path, const std::string& got, const std::string& mode) {
  if (mode == "accept" || (mode == "record" && !fs::exists(path))) {
    fs::create_directories(path.parent_path());
    write_file(path, got);
    return {};
  }
  if (!fs::exists(path)) return path.filename().string() + ": not expected, but the run created it";
  const std::string diff = first_difference(read_file(path), got);
  return diff.empty() ? diff : path.filename().string() + ": " + diff;
}

TEST(Golden, EveryCaseAsRecorded) {
  const char* env = std::getenv("SFMR_GOLDEN");
  const std::string mode = env ? env : "";
  const Shared shared;
  std::vector<fs::path> cases;
  for (const auto& e : fs::directory_iterator(kCases))
    if (e.is_directory()) cases.push_back(e.path());
  std::sort(cases.begin(), cases.end());
  ASSERT_FALSE(cases.empty()) << "no cases under " << kCases;

  for (const fs::path& dir : cases) {
    const std::string name = dir.filename().string();
    const Outcome o = run_case(shared, dir);
    std::vector<std::string> failures = {check(dir / "expected_console", o.console, mode),
                                         check(dir / "expected_status", o.status, mode)};
    if (mode == "accept") fs::remove_all(dir / "expected");
    std::set<std::string> created;
    for (const auto& [file, content] : o.files) {
      failures.push_back(check(dir / "expected" / file, content, mode));
      created.insert(file);
    }
    if (fs::exists(dir / "expected"))
      for (const auto& e : fs::directory_iterator(dir / "expected"))
        if (!created.contains(e.path().filename().string()))
          failures.push_back(e.path().filename().string() + ": expected, but the run did not create it");
    for (const std::string& f : failures) EXPECT_TRUE(f.empty()) << "case " << name << ", " << f;
  }
}

}  // namespace
}  // namespace sfmr

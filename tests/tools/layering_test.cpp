// The floors of tools/: each folder is a library that includes only its own headers, the project library
// (src/) and the folders written on its row below; the mains (tools/*.cpp) may include any folder. A new
// folder gets a row here and a tools_<folder> library in tools/CMakeLists.txt before anything includes it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <string_view>

namespace {

namespace fs = std::filesystem;

// Bottom up: common; out_file, tracks; sim, recon, sonde; uncertainty; look; plot; archive; storm, campaign.
const std::map<std::string, std::set<std::string>> kMayInclude = {
    {"common", {}},
    {"out_file", {"common"}},
    {"tracks", {"common"}},
    {"sim", {"common", "tracks", "recon", "sonde"}},
    {"recon", {"common", "out_file"}},
    {"sonde", {"common", "out_file"}},
    {"uncertainty", {"common", "out_file"}},
    {"look", {"common", "out_file", "uncertainty"}},
    {"plot", {"common", "out_file", "uncertainty", "look"}},
    {"archive", {"common", "out_file", "recon", "sonde", "uncertainty"}},
    {"storm", {"common", "out_file", "tracks", "recon", "sonde", "uncertainty", "archive"}},
    {"campaign", {"common", "out_file", "uncertainty", "look", "archive"}},
};

const fs::path kTools = fs::path(SFMR_SOURCE_DIR) / "tools";
const fs::path kSrc = fs::path(SFMR_SOURCE_DIR) / "src";

// The folder named by a line `#include "FOLDER/..."`, else "".
std::string included_folder(const std::string& line) {
  constexpr std::string_view kHead = "#include \"";
  if (!line.starts_with(kHead)) return "";
  const std::size_t slash = line.find('/', kHead.size());
  const std::size_t quote = line.find('"', kHead.size());
  if (slash == std::string::npos || slash > quote) return "";
  return line.substr(kHead.size(), slash - kHead.size());
}

// "" when a source of `folder` ("" for a main) may include `target`, else why not.
std::string check_edge(const std::string& folder, const std::string& target) {
  if (target == folder || fs::is_directory(kSrc / target)) return "";
  const auto row = kMayInclude.find(target);
  if (row == kMayInclude.end()) return "\"" + target + "\" is neither a floor of tools/ nor a folder of src/";
  if (folder.empty()) return "";
  if (kMayInclude.at(folder).contains(target)) return "";
  std::string allowed;
  for (const std::string& f : kMayInclude.at(folder)) allowed += (allowed.empty() ? "" : ", ") + f;
  return folder + " may include only " + (allowed.empty() ? "src/" : allowed + " and src/");
}

TEST(Layering, EdgesAreJudgedByTheTable) {
  struct Case {
    const char* name;
    std::string folder, target;
    bool allowed;
  };
  const Case cases[] = {
      {"own folder", "look", "look", true},
      {"the project library", "common", "core", true},
      {"one floor down", "look", "uncertainty", true},
      {"a main includes any floor", "", "storm", true},
      {"one floor up", "uncertainty", "look", false},
      {"sideways", "storm", "campaign", false},
      {"the bottom looks up", "common", "out_file", false},
      {"no such folder", "look", "flight", false},
  };
  for (const Case& c : cases) EXPECT_EQ(check_edge(c.folder, c.target).empty(), c.allowed) << c.name;
}

TEST(Layering, EveryIncludeLooksDown) {
  std::size_t includes = 0;
  for (const fs::directory_entry& e : fs::recursive_directory_iterator(kTools)) {
    const fs::path ext = e.path().extension();
    if (!e.is_regular_file() || (ext != ".cpp" && ext != ".hpp")) continue;
    const fs::path rel = e.path().lexically_relative(kTools);
    const std::string folder = rel.has_parent_path() ? rel.begin()->string() : "";
    ASSERT_TRUE(folder.empty() || kMayInclude.contains(folder)) << "tools/" << folder << " has no row";
    std::ifstream in(e.path());
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
      const std::string target = included_folder(line);
      if (target.empty()) continue;
      ++includes;
      const std::string why = check_edge(folder, target);
      EXPECT_TRUE(why.empty()) << "tools/" << rel.string() << ":" << number << " " << line << ": " << why;
    }
  }
  EXPECT_GT(includes, 100u) << "the scan of " << kTools << " found almost no includes";
}

TEST(Layering, EachFolderIsOneLibraryNamedAfterIt) {
  std::ifstream in(kTools / "CMakeLists.txt");
  const std::string cmake{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  for (const auto& [folder, below] : kMayInclude) {
    if (!fs::is_directory(kTools / folder)) continue;
    EXPECT_NE(cmake.find("sfmr_tool_library(" + folder), std::string::npos) << "no tools_" << folder;
  }
}

}  // namespace

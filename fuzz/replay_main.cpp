// The plain-program form of a fuzz target: runs the target once over every file named on the command line,
// or over every file of a directory named there (its corpus), and reports how many inputs it ran.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

int run_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::cerr << "replay: cannot read " << path << '\n';
    return 1;
  }
  const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  // A copy of exactly the input's size, so that AddressSanitizer sees a read past its end.
  const auto data = std::make_unique<std::uint8_t[]>(bytes.size());
  std::copy(bytes.begin(), bytes.end(), data.get());
  LLVMFuzzerTestOneInput(data.get(), bytes.size());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::filesystem::path> files;
  for (int i = 1; i < argc; ++i) {
    // Absolute, because a target may change the working directory.
    const std::filesystem::path arg = std::filesystem::absolute(argv[i]);
    if (std::filesystem::is_directory(arg)) {
      for (const auto& entry : std::filesystem::directory_iterator(arg)) {
        if (entry.is_regular_file()) files.push_back(entry.path());
      }
    } else {
      files.push_back(arg);
    }
  }
  std::sort(files.begin(), files.end());
  if (files.empty()) {
    std::cerr << "replay: no inputs (usage: " << argv[0] << " CORPUS_DIR|FILE...)\n";
    return 2;
  }
  for (const auto& file : files) {
    if (run_file(file) != 0) return 1;
  }
  std::cout << "replayed " << files.size() << " inputs\n";
  return 0;
}

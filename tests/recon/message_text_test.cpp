// What a file holds, told from its content (the storm tool takes HDOB archives in place of flight files).
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "recon/message_text.hpp"

namespace sfmr::recon {
namespace {

TEST(ReconFileKind, TellsAFileFromItsContent) {
  struct Case {
    const char* name;
    const char* text;
    ReconFile kind;
  };
  const Case cases[] = {
      {"HDOB with communications lines",
       "000 \nURNT15 KNHC 020423\nAHONT1\nAF304 3005A DORIAN HDOB 51 20190902\n", ReconFile::kHdob},
      {"HDOB without its heading", "AF304 3005A DORIAN HDOB 51 20190902\n", ReconFile::kHdob},
      {"East Pacific vortex data message", "URPN12 KNHC 231314\nVORTEX DATA MESSAGE EP122026\n",
       ReconFile::kVortex},
      {"a dropsonde message only", "UZNT13 KNHC 200250\nXXAA  70035 99153 70659 04355\n", ReconFile::kNone},
      {"a sfmrbatch output line", "  1  43200  25.000 -80.000\r\n", ReconFile::kNone},
      {"an empty file", "", ReconFile::kNone},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(recon_file_kind(c.text), c.kind) << c.name;
    if (c.kind == ReconFile::kNone) {
      EXPECT_THROW(require_recon_file(c.text, "x"), std::runtime_error) << c.name;
    }
  }
}

TEST(ReconFileKind, ReadsAFileOrNamesItInTheFault) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path();
  const std::filesystem::path file = dir / ("recon_text_" + std::to_string(::getpid()) + ".txt");
  std::ofstream(file, std::ios::binary) << "AF304 3005A DORIAN HDOB 51 20190902\r\n";
  EXPECT_EQ(recon_file_kind(read_message_file(file)), ReconFile::kHdob);
  std::filesystem::remove(file);
  for (const std::filesystem::path& bad : {file, dir}) {
    try {
      read_message_file(bad);
      ADD_FAILURE() << bad << ": read";
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()).rfind(bad.string() + ": ", 0), 0u) << e.what();
    }
  }
}

}  // namespace
}  // namespace sfmr::recon

// Helpers of the set-up tests: the shared test helpers under the names these tests use.
#pragma once

#include "support/test_util.hpp"

namespace sfmr::setup_test {

using ScratchDir = sfmr::testing::TempDir;
using sfmr::testing::capture_end;
using sfmr::testing::crlf;
using sfmr::testing::Ending;
using sfmr::testing::field128;
using sfmr::testing::read_file;
using sfmr::testing::ScriptedConsole;
using sfmr::testing::text_lines;
using sfmr::testing::write_file;

}  // namespace sfmr::setup_test

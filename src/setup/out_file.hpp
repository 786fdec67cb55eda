// Naming and creation of the output file.
#pragma once

#include <string>

#include "driver/console.hpp"
#include "driver/files.hpp"

namespace sfmr {

// Creates the output file named after `infile` (".OUT" in place of its extension, or with a letter a..j added
// when the name is taken), never overwriting anything; eleven failures end the run.
void create_outfile(Console& console, const std::string& infile, OutFile& outfile);

}  // namespace sfmr

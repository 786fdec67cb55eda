// Naming and creation of the output file.
#pragma once

#include <string>
#include <string_view>

#include "core/console.hpp"
#include "core/files.hpp"

namespace sfmr {

// Creates the output file named after `infile` (".OUT" in place of its extension, or with a letter a..j added
// when the name is taken), never overwriting anything; eleven failures end the run.
void create_outfile(Console& console, const std::string& infile, OutFile& outfile);

// Stem of the output name: the trimmed raw file name up to, not including, its last "." in column 2 or
// later (directory parts included); the whole trimmed name when there is none.
std::string_view output_stem(std::string_view infile);

// Candidate name of attempt 0..10 as a 128-character field: stem + ".OUT", then stem + "a.OUT" .. "j.OUT".
std::string output_candidate(std::string_view stem, int attempt);

}  // namespace sfmr

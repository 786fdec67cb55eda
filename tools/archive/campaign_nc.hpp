// The campaign in one file: the flight files of every done flight as one CF-1.8 trajectory collection in a
// contiguous ragged array. Dimension `trajectory` holds the flights (variable `trajectory`, their names,
// cf_role trajectory_id), `rowSize(trajectory)` their numbers of seconds, and every per-second variable of
// the flight files lies along `obs` (sample_dimension of rowSize), flight after flight, with the flight
// file's attributes. `time` and `time_recorded` count from midnight of the earliest flight's date; the
// channel frequencies are `frequency(trajectory, channel)`.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace sfmr::archive {

struct CampaignMember {
  std::string name;            // the flight's name
  std::filesystem::path file;  // its netCDF file (sfmr2nc)
};

// Writes `path` (replacing it when it exists) from the flight files, in the order given. Returns an empty
// string, or what went wrong (naming the flight file or the step).
std::string write_campaign_nc(const std::filesystem::path& path, const std::vector<CampaignMember>& flights,
                              const std::string& title, const std::string& history);

}  // namespace sfmr::archive

// The campaign's own products from its done flights: OUTDIR/campaign.nc, every flight file in one CF
// trajectory collection (archive/campaign_nc.hpp; only when built with the netCDF library), and
// OUTDIR/campaign.map.png, all tracks on one map (sfmrplot --campaign). Each is rebuilt by every report.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "campaign/flight.hpp"
#include "campaign/report.hpp"

namespace sfmr::campaign {

// Writes both products; returns what could not be made (none: empty). A campaign without a done flight
// has neither (earlier ones are removed).
std::vector<std::string> write_products(const std::vector<FlightReport>& rows,
                                        const std::filesystem::path& outdir, std::string_view title,
                                        const Tools& tools);

}  // namespace sfmr::campaign

// Cabinet listings as the description readers get them, for tests that read
// a description without a cabinet around it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cabfiles/cab_file.h"

namespace vornix::testing {

/// One entry per name, in this order, each with this size and stored date.
CabListing ListingOf(const std::vector<std::string>& names, int32_t size = 0, uint16_t dosDate = 0,
                     uint16_t dosTime = 0);

}  // namespace vornix::testing

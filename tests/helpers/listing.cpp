#include "helpers/listing.h"

namespace vornix::testing {

CabListing ListingOf(const std::vector<std::string>& names, int32_t size, uint16_t dosDate, uint16_t dosTime) {
  CabListing listing;
  for (const std::string& name : names) {
    TCABFileEntry& e = listing.emplace_back();
    e.Name = name;
    e.Size = size;
    e.DosDate = dosDate;
    e.DosTime = dosTime;
    e.Index = static_cast<int32_t>(listing.size() - 1);
  }
  return listing;
}

}  // namespace vornix::testing

// The XML setup reader over arbitrary bytes, with a cabinet listing that
// names a setup DLL, so every step of the analysis runs. Only what a package
// reaches runs per input: the parse, the tree, the rows, the registry
// listing and the INF (Base64 is reached through binary registry values).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "xml/xml_setup.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const vornix::CabListing listing = [] {
    vornix::CabListing l;
    l.Names = {"A.001", "SETUP~1.999"};
    l.Sizes = {"1", "2"};
    l.Dates = {"2000-01-01  00:00", "2000-01-01  00:00"};
    return l;
  }();
  vornix::ReadXmlSetupText(std::string_view(reinterpret_cast<const char*>(data), size), &listing);
  return 0;
}

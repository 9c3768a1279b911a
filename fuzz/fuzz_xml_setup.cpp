// The XML setup reader over arbitrary bytes, with a cabinet listing that
// names a setup DLL, so every step of the analysis runs. Only what a package
// reaches runs per input: the parse, the tree, the records, and the rows,
// the registry listing and the INF made from them (Base64 is reached
// through binary registry values).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "presentation/xml_texts.h"
#include "xml/xml_setup.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const vornix::CabListing listing = [] {
    vornix::CabListing l;
    for (const char* n : {"A.001", "SETUP~1.999"}) {
      vornix::TCABFileEntry& e = l.emplace_back();
      e.Name = n;
      e.Size = 10;
      e.DosDate = (29 << 9) | (1 << 5) | 1;  // 2009-01-01
    }
    return l;
  }();
  const vornix::Result<vornix::XmlSetupAnalysis> read =
      vornix::ReadXmlSetupText(std::string_view(reinterpret_cast<const char*>(data), size), &listing);
  if (!read) return 0;
  // The texts are made from the records on their way to the window and the JSON.
  (void)vornix::BuildXmlLists(*read);
  (void)vornix::XmlRegistryListing(*read);
  (void)vornix::XmlInfLines(*read);
  return 0;
}

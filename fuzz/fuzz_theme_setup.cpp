// Themes described by a ".000" file: the setup reader over arbitrary bytes,
// then the theme record, its INF and its generated "_setup.xml", which must
// parse again whatever the description held.
//
// Seeds: fuzz/corpus/theme_setup/ (a theme's setup file, built like the
// ThemeSetupFile tests build theirs).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <pugixml.hpp>

#include "setup/setup_info.h"
#include "theme/theme.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const vornix::CabListing listing = [] {
    vornix::CabListing l;
    for (const char* n : {"STWATE~1.001", "TDYWAT~1.002", "STWATE~1.003", "TDYWAT~1.004", "SETUP~1.999"}) {
      vornix::TCABFileEntry& e = l.emplace_back();
      e.Name = n;
      e.Size = 10;
      e.DosDate = (29 << 9) | (1 << 5) | 1;  // 2009-01-01
    }
    return l;
  }();
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  vornix::SetupReadInput in;
  in.DisplayName = "theme.000";
  in.CabinetMode = true;
  in.CheckSignature = false;
  in.Listing = &listing;
  const vornix::Result<vornix::TSetupInfo> read = vornix::ReadSetupBytes(bytes, in);
  if (!read.ok()) return 0;
  vornix::ThemeAnalysis theme;
  vornix::ReadThemeFromSetup(*read, theme);
  std::string xml;
  for (const std::string& line : theme.XmlLines) xml += line + "\n";
  pugi::xml_document doc;
  if (!theme.XmlLines.empty() && !doc.load_string(xml.c_str())) std::abort();  // the generated text must parse
  (void)vornix::ThemeConversion(theme);
  return 0;
}

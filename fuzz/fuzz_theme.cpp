// Theme analysis of a "_setup.xml" document and the picture-header reader
// over arbitrary bytes; the generators then run on whatever was read.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "theme/picture_info.h"
#include "theme/theme.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  vornix::ThemeAnalysis analysis;
  (void)vornix::ReadThemeFromXml(bytes, analysis);
  std::vector<std::string> xml;
  vornix::GenerateThemeXml(analysis.Rec, &xml);
  vornix::ReadPictureInfo(bytes);
  vornix::PictureDataComplete(bytes);
  return 0;
}

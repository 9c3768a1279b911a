// The XML setup viewer's catalogue: every entry present, texts exact where
// they carry control characters or the code page's own letters.
#include <gtest/gtest.h>

#include <set>

#include "presentation/catalogue.h"
#include "presentation/catalogue_xml.h"

namespace vornix {
namespace {

TEST(XmlCatalogue, EveryEntryFilled) {
  for (int i = 0; i < kXmlCatalogueSize; ++i) EXPECT_FALSE(Str(static_cast<XmlStr>(i)).empty()) << i;
}

TEST(XmlCatalogue, TextsWithControlCharactersAndAccents) {
  EXPECT_EQ(Str(XmlStr::TabGeneral), "Gen\xE9ralities");
  EXPECT_EQ(Str(XmlStr::ChooseFolderTitle), "Choose a folder or create it :\rActual : ");
  EXPECT_EQ(Str(XmlStr::TipFilesList),
            "Right Click : Menu\r\nLeft Click : Drag and Drop\r\nF11 : Change Menu Items height");
  EXPECT_EQ(Str(XmlStr::TipExtract) + Str(XmlStr::TipSelectionSuffix),
            "Extract CAB Files with original names in a folder (Selection)");
  // The size column sorts numerically when its heading equals this entry.
  EXPECT_EQ(Str(XmlStr::ColSizeBytes), Str(MainStr::ColSizeBytes));
}

}  // namespace
}  // namespace vornix

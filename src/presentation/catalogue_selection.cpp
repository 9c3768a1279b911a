#include "presentation/catalogue_selection.h"

#include <array>
#include <utility>

namespace vornix {
namespace {

const std::array<std::pair<SelStr, const char*>, kSelectionCatalogueSize> kSelection = {{
    {SelStr::Caption, "Extract CAB Files with original names in a folder (Selection)"},
    {SelStr::Cancel, "Cancel"},
    {SelStr::SelectAll, "Select All"},
    {SelStr::DeselectAll, "DeSelect All"},
    {SelStr::Extract, "Extract"},
    {SelStr::ColFileNameInCab, "FileName in CAB"},
    {SelStr::ColFileName, "FileName"},
    {SelStr::FileCount, "%d file(s)"},
    {SelStr::SaveInf, "Save INF file"},
}};

struct SelectionTable {
  std::array<std::string, kSelectionCatalogueSize> texts;
  SelectionTable() {
    for (const auto& [id, text] : kSelection) texts[static_cast<size_t>(id)] = text;
  }
};

}  // namespace

const std::string& Str(SelStr id) {
  static const SelectionTable table;
  return table.texts.at(static_cast<size_t>(id));
}

}  // namespace vornix

// The selective extraction dialog's string catalogue (English in this build).
#pragma once

#include <string>

namespace vornix {

enum class SelStr {
  Caption,  // the window caption
  Cancel,
  SelectAll,
  DeselectAll,
  Extract,
  ColFileNameInCab,
  ColFileName,  // the header item's captions
  FileCount,    // "%d file(s)"
  SaveInf,      // the check box
  Count_
};

/// The text of a dialog-catalogue entry (Windows-1252).
const std::string& Str(SelStr id);

constexpr int kSelectionCatalogueSize = static_cast<int>(SelStr::Count_);

}  // namespace vornix

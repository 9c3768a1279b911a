#include "package/selection.h"

#include <utility>

#include "common/text.h"

namespace vornix {

ExtractRequest SelectionRequest(ExtractRequest all, const std::vector<bool>& chosen, bool writeInf) {
  ExtractRequest request = std::move(all);
  std::vector<ExtractRow> rows = std::move(request.Rows);
  request.Rows.clear();
  request.SetupDllName.clear();
  request.WriteInf = writeInf;
  // Flat: the chosen rows without their folders, so that each lands in the
  // folder itself and no other entry is written.
  const bool flat = !request.UseFolderNames;
  request.UseFolderNames = true;
  for (size_t i = 0; i < rows.size() && i < chosen.size(); ++i) {
    if (!chosen[i]) continue;
    if (ExtensionOf(rows[i].StoredName) == ".999") {
      request.SetupDllName = rows[i].StoredName;
      continue;
    }
    if (flat) rows[i].DeviceFolder.clear();
    request.Rows.push_back(std::move(rows[i]));
  }
  return request;
}

}  // namespace vornix

// Extraction planning over arbitrary texts: the stored name, the original
// name, the device folder and the application name of a row become host paths
// below the chosen folder. Whatever they hold, a planned path is relative,
// names no "." or ".." and holds no NUL or control character, and the INF
// and XML copy names are single plain names.
//
// Input: the four texts separated by NUL bytes; the first byte picks the mode.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "common/host_fs.h"
#include "package/extraction.h"
#include "package/xml_extraction.h"

namespace {

void CheckPlainName(const std::string& name) {
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos ||
      name.find('\0') != std::string::npos)
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const bool useFolderNames = data[0] & 1;
  const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::vector<std::string> texts;
  size_t start = 0;
  while (texts.size() < 4) {
    const size_t nul = rest.find('\0', start);
    texts.emplace_back(rest.substr(start, nul == std::string_view::npos ? std::string_view::npos : nul - start));
    if (nul == std::string_view::npos) break;
    start = nul + 1;
  }
  texts.resize(4);
  const vornix::ExtractRow row{texts[0], texts[1], texts[2]};

  if (const auto place = vornix::PlannedPlace(row, useFolderNames)) {
    if (place->empty() || place->is_absolute() || place->has_root_path()) std::abort();
    for (const auto& part : *place) {
      const std::string& name = part.native();
      CheckPlainName(name);
      for (unsigned char c : name)
        if (c < 0x20) std::abort();
    }
    if (!useFolderNames && place->has_parent_path()) std::abort();  // flat: straight into the folder
  }
  if (const auto stored = vornix::SafeRelativePath(row.StoredName)) {
    if (stored->is_absolute()) std::abort();
    for (const auto& part : *stored) CheckPlainName(part.native());
  }
  CheckPlainName(vornix::InfFileNameIn(texts[3] + ".inf"));
  CheckPlainName(vornix::XmlCopyName(texts[3]));
  return 0;
}

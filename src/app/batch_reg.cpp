// `vornix PACKAGE reg [--regedit4]`: the package's registry values as a file
// the registry editor imports, written beside the package.
#include "app/batch_reg.h"

#include <filesystem>

#include "app/batch.h"
#include "app/batch_output.h"
#include "common/host_fs.h"
#include "common/text.h"
#include "presentation/reg_export.h"

namespace fs = std::filesystem;

namespace vornix {

int WriteRegBeside(const std::string& package, const std::string& appName, const std::string& bytes) {
  // Beside the package, as the INF goes; a name from the package never leaves that folder.
  const fs::path target =
      fs::path(package).parent_path() / RegFileNameFor(appName, Utf8ToCp1252(fs::path(package).stem().string()));
  std::string error;
  if (!WriteFileBytes(target, bytes, &error)) return Fail(target.string() + " : cannot be written (" + error + ")");
  return kExitDone;
}

}  // namespace vornix

#include "common/inf_head.h"

namespace vornix {

std::vector<std::string> InfVersionSection(std::string_view provider) {
  return {"[Version]", "Signature = \"$Chicago$\"", "CESignature = \"$Windows CE$\"",
          "Provider = \"" + std::string(provider) + "\"", ""};
}

}  // namespace vornix

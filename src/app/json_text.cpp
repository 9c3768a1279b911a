#include "app/json_text.h"

#include "common/text.h"

namespace vornix {

nlohmann::json JsonText(const std::string& cp1252) { return nlohmann::json(Cp1252ToUtf8(cp1252)); }

nlohmann::json JsonTexts(const std::vector<std::string>& texts) {
  nlohmann::json out = nlohmann::json::array();
  for (const std::string& t : texts) out.push_back(JsonText(t));
  return out;
}

}  // namespace vornix

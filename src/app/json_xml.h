// The XML setup analysis as JSON (`vornix --json` for "_setup.xml" packages).
#pragma once

#include <nlohmann/json.hpp>

#include "xml/xml_setup.h"

namespace vornix {

/// The tree (captions with their children), the section node numbers, the
/// four row tables, the registry listing, the INF lines and the warnings.
/// Every text is converted from Windows-1252 to UTF-8.
nlohmann::json XmlAnalysisJson(const XmlSetupAnalysis& analysis);

/// A reading: {"ok": true, ...analysis} or {"ok": false, "Message": ...}.
nlohmann::json XmlReadJson(const Result<XmlSetupAnalysis>& result);

}  // namespace vornix

// The whole analysis of a package as JSON, for scripts (`vornix --json`).
#pragma once

#include <nlohmann/json.hpp>

#include "app/json_text.h"
#include "package/package_session.h"
#include "signature/cab_signature.h"

namespace vornix {

/// The signature of a cabinet (`signature` in the JSON of a cabinet).
nlohmann::json SignatureJson(const CabinetSignature& signature);

/// The findings of the opening, the ".000" analysis (every field of the six
/// lists, the general items, the setup DLL, the duplicates, the INF lines),
/// the status panels and the cabinet information line.
nlohmann::json SessionJson(const PackageSession& session, const OpenResult& result);

}  // namespace vornix

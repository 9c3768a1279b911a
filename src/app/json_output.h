// The analysis of a package as a JSON document for scripts (`vornix --json`):
// format "vornix-analysis", version 1, described by
// docs/vornix-analysis.schema.json. It is written from the core's records,
// never from the texts the window shows, so a value keeps its type: sizes,
// counts, IDs and flags are numbers, dates ISO 8601, names UTF-8.
#pragma once

#include <string>

#include "app/json_text.h"
#include "package/package_session.h"
#include "signature/cab_signature.h"

namespace vornix {

inline constexpr const char* kAnalysisFormat = "vornix-analysis";
/// Raised when a key changes its meaning or type or goes away; keys may be
/// added within a version.
inline constexpr int kAnalysisVersion = 1;

/// What every analysis document starts with, also the one of a package that
/// could not be opened: format, version and the package as named.
Json AnalysisHead(const std::string& package);

/// The signature of a cabinet (`signature`).
Json SignatureJson(const CabinetSignature& signature);

/// The document of an opened package: the head, how the opening ended, the
/// cabinet, its signature and the ".000" analysis (`setup`). The caller adds
/// `xml`, the program facts, `exit_code` and `error`.
Json AnalysisJson(const std::string& package, const PackageSession& session, const OpenResult& result);

}  // namespace vornix

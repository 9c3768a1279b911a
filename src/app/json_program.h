// Facts of the package's program files in `vornix --json`: machine,
// subsystem, versions, .NET flag and version strings of every file that is a
// PE file, added to that file's object.
#pragma once

#include <filesystem>
#include <nlohmann/json.hpp>

#include "package/package_session.h"
#include "pe/pe_reader.h"
#include "xml/xml_setup.h"

namespace vornix {

/// One reading as JSON: {"Pe": true, "Machine": 448, "MachineName": "ARM", ...}
/// or {"Pe": false, "Message": ...}.
nlohmann::json ProgramFileJson(const ProgramFileReadResult& read);

/// Adds "Program" to each file object of `j` ("Setup"."Files", "Setup"."SetupDll",
/// "Xml"."Files") whose cabinet entry is a PE file, and to each program file
/// (.exe, .dll, .ocx, .cpl) that is not one. The entries are decompressed in
/// one pass over the cabinet into `workFolder` (made and removed here).
/// `xml` is the XML analysis that "Xml" was made from, or null.
void AddProgramFacts(nlohmann::json& j, const PackageSession& session, const XmlSetupAnalysis* xml,
                     const std::filesystem::path& workFolder);

}  // namespace vornix

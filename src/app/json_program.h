// Facts of the package's program files in `vornix --json`: machine,
// subsystem, versions, .NET flag and version strings of every file that is a
// PE file, added to that file's object.
#pragma once

#include <filesystem>

#include "app/json_text.h"
#include "package/package_session.h"
#include "pe/pe_reader.h"
#include "xml/xml_setup.h"

namespace vornix {

/// One reading as JSON: {"pe": true, "machine": 448, "machine_name": "ARM", ...}
/// or {"pe": false, "message": ...}.
Json ProgramFileJson(const ProgramFileReadResult& read);

/// Adds "program" to each file object of `j` ("setup"."files",
/// "setup"."setup_dll", "xml"."files", "xml"."setup_dll") whose cabinet entry
/// is a PE file, and to each program file (.exe, .dll, .ocx, .cpl) that is
/// not one. The entries are decompressed in
/// one pass over the cabinet into `workFolder` (made and removed here).
/// `xml` is the XML analysis that "xml" was made from, or null.
void AddProgramFacts(Json& j, const PackageSession& session, const XmlSetupAnalysis* xml,
                     const std::filesystem::path& workFolder);

}  // namespace vornix

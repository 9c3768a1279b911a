#include "app/json_program.h"

#include <fstream>
#include <map>
#include <set>

#include "cabfiles/cab_file.h"
#include "common/host_fs.h"
#include "common/text.h"
#include "presentation/display.h"

namespace fs = std::filesystem;

namespace vornix {
namespace {

// A file object of the JSON and the cabinet entry it stands for.
struct Target {
  Json* Object;
  std::string CabName;  // Windows-1252, as listed
  bool ProgramType;     // .exe, .dll, .ocx or .cpl by its original name
};

// Only files that start like a DOS executable are read whole.
bool StartsWithMz(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  char magic[2] = {};
  return in.read(magic, 2) && magic[0] == 'M' && magic[1] == 'Z';
}

const char* VersionStateName(VersionResourceState state) {
  switch (state) {
    case VersionResourceState::Absent: return "absent";
    case VersionResourceState::Unreadable: return "unreadable";
    case VersionResourceState::Read: return "read";
  }
  return "absent";
}

}  // namespace

Json ProgramFileJson(const ProgramFileReadResult& read) {
  if (!read.ok()) return {{"pe", false}, {"message", read.Message}};
  const ProgramFileInfo& info = read.Info;
  Json j;
  j["pe"] = true;
  j["machine"] = info.Machine;
  j["machine_name"] = info.machineName().empty() ? Json(nullptr) : Json(std::string(info.machineName()));
  j["pe32_plus"] = info.Pe32Plus;
  j["dll"] = info.isDll();
  const bool optional = info.HasOptionalHeader;
  j["subsystem"] = optional ? Json(info.Subsystem) : Json(nullptr);
  j["subsystem_name"] =
      optional && !info.subsystemName().empty() ? Json(std::string(info.subsystemName())) : Json(nullptr);
  j["subsystem_version"] = optional ? Json::array({info.SubsystemMajor, info.SubsystemMinor}) : Json(nullptr);
  j["dotnet"] = info.IsDotNet;
  j["version_resource"] = VersionStateName(info.Version);
  if (info.Fixed) {
    const FixedFileInfo& v = *info.Fixed;
    j["file_version"] =
        Json::array({v.FileVersionMS >> 16, v.FileVersionMS & 0xFFFF, v.FileVersionLS >> 16, v.FileVersionLS & 0xFFFF});
    j["product_version"] = Json::array(
        {v.ProductVersionMS >> 16, v.ProductVersionMS & 0xFFFF, v.ProductVersionLS >> 16, v.ProductVersionLS & 0xFFFF});
    j["file_flags"] = v.FileFlags;
    j["file_flags_mask"] = v.FileFlagsMask;
    j["file_flag_names"] = v.flagNames();
  } else {
    for (const char* key : {"file_version", "product_version", "file_flags", "file_flags_mask"}) j[key] = nullptr;
    j["file_flag_names"] = Json::array();
  }
  // Keyed by name, the first table's value winning, as a version query finds it.
  Json strings = Json::object();
  for (const VersionString& s : info.Strings)
    if (!strings.contains(s.Key)) strings[s.Key] = s.Value;
  j["version_strings"] = std::move(strings);
  j["string_table"] = info.Strings.empty() ? Json(nullptr) : Json(info.Strings.front().Table);
  j["warnings"] = read.Warnings;
  return j;
}

void AddProgramFacts(Json& j, const PackageSession& session, const XmlSetupAnalysis* xml, const fs::path& workFolder) {
  const OpenFindings& findings = session.findings();
  if (!findings.CabinetMode || findings.ListingFailed) return;

  std::vector<Target> targets;
  if (j["setup"].is_object() && session.analysis()) {
    const TSetupInfo& s = session.analysis()->Info;
    Json& files = j["setup"]["files"];
    for (size_t i = 0; i < s.Files.size() && i < files.size(); ++i)
      targets.push_back(
          {&files[i], FileCabName(s, s.Files[i]), IsProgramFileExtension("." + FileTypeText(s.Files[i]))});
    if (s.SetupDll.present()) targets.push_back({&j["setup"]["setup_dll"], s.SetupDll.Name, false});
  }
  if (xml && j["xml"].is_object() && j["xml"].contains("files")) {
    Json& files = j["xml"]["files"];
    size_t row = 0;
    for (const XmlFile& f : xml->Files) {
      if (f.IsSetupDll) {
        if (j["xml"]["setup_dll"].is_object()) targets.push_back({&j["xml"]["setup_dll"], f.CabName, false});
      } else if (row < files.size()) {
        targets.push_back({&files[row++], f.CabName, IsProgramFileExtension(ExtensionOf(f.DestName))});
      }
    }
  }
  if (targets.empty()) return;

  // One pass over the cabinet for every file, under numbered names so no
  // stored name has to be trusted as a path.
  std::set<std::string> wanted;
  for (const Target& t : targets) wanted.insert(t.CabName);
  std::error_code ec;
  fs::create_directories(workFolder, ec);
  std::map<std::string, fs::path> staged;
  TCABFile cab;
  cab.CABFile = session.packagePath();
  cab.OnWarning = [](const std::string&) {};
  // A cabinet that breaks half-way leaves the facts of the entries before the break.
  (void)cab.Extract([&](const TCABFileEntry& e) -> std::optional<ExtractTarget> {
    if (!wanted.count(e.Name) || staged.count(e.Name)) return std::nullopt;
    const fs::path file = workFolder / Format("%06zu", staged.size());
    staged.emplace(e.Name, file);
    return ExtractTarget{file};
  });

  std::map<std::string, Json> readings;
  for (const Target& t : targets) {
    const auto file = staged.find(t.CabName);
    if (file == staged.end()) continue;
    auto reading = readings.find(t.CabName);
    if (reading == readings.end()) {
      if (!t.ProgramType && !StartsWithMz(file->second)) continue;
      const std::optional<std::string> bytes = ReadFileBytes(file->second);
      if (!bytes) continue;
      reading = readings.emplace(t.CabName, ProgramFileJson(ReadProgramFile(*bytes))).first;
    }
    if (t.ProgramType || reading->second["pe"] == true) (*t.Object)["program"] = reading->second;
  }
  fs::remove_all(workFolder, ec);
}

}  // namespace vornix

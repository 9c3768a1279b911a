#include "app/json_program.h"

#include <fstream>
#include <map>
#include <set>

#include "cabfiles/cab_file.h"
#include "common/host_fs.h"
#include "common/text.h"
#include "presentation/display.h"
#include "presentation/xml_texts.h"

using nlohmann::json;
namespace fs = std::filesystem;

namespace vornix {
namespace {

// A file object of the JSON and the cabinet entry it stands for.
struct Target {
  json* Object;
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

json ProgramFileJson(const ProgramFileReadResult& read) {
  if (!read.ok()) return {{"Pe", false}, {"Message", read.Message}};
  const ProgramFileInfo& info = read.Info;
  json j;
  j["Pe"] = true;
  j["Machine"] = info.Machine;
  j["MachineName"] = std::string(info.machineName());
  j["Pe32Plus"] = info.Pe32Plus;
  j["Dll"] = info.isDll();
  if (info.HasOptionalHeader) {
    j["Subsystem"] = info.Subsystem;
    j["SubsystemName"] = std::string(info.subsystemName());
    j["SubsystemVersion"] = info.subsystemVersionText();
  } else {
    j["Subsystem"] = j["SubsystemName"] = j["SubsystemVersion"] = nullptr;
  }
  j["DotNet"] = info.IsDotNet;
  j["VersionResource"] = VersionStateName(info.Version);
  j["VersionText"] = VersionText(info);
  if (info.Fixed) {
    j["FileVersion"] = info.Fixed->fileVersionText();
    j["ProductVersion"] = info.Fixed->productVersionText();
    j["FileFlags"] = info.Fixed->FileFlags;
    j["FileFlagsMask"] = info.Fixed->FileFlagsMask;
    j["FileFlagNames"] = info.Fixed->flagNames();
  }
  // Keyed by name, the first table's value winning, as a version query finds it.
  json strings = json::object();
  for (const VersionString& s : info.Strings)
    if (!strings.contains(s.Key)) strings[s.Key] = s.Value;
  j["Strings"] = std::move(strings);
  j["StringTable"] = info.Strings.empty() ? json(nullptr) : json(info.Strings.front().Table);
  j["Warnings"] = read.Warnings;
  return j;
}

void AddProgramFacts(json& j, const PackageSession& session, const XmlSetupAnalysis* xml, const fs::path& workFolder) {
  const OpenFindings& findings = session.findings();
  if (!findings.CabinetMode || findings.ListingFailed) return;

  std::vector<Target> targets;
  if (j.contains("Setup") && session.analysis()) {
    const TSetupInfo& s = session.analysis()->Info;
    json& files = j["Setup"]["Files"];
    for (size_t i = 0; i < s.Files.size() && i < files.size(); ++i)
      targets.push_back({&files[i], FileCabName(s, s.Files[i]), IsProgramFileExtension("." + FileTypeText(s.Files[i]))});
    if (s.SetupDll.present()) targets.push_back({&j["Setup"]["SetupDll"], s.SetupDll.Name, false});
  }
  if (xml && j.contains("Xml") && j["Xml"].contains("Files")) {
    json& files = j["Xml"]["Files"];
    for (size_t i = 0; i < xml->Files.size() && i < files.size(); ++i)
      targets.push_back({&files[i], xml->Files[i].CabName, IsProgramFileExtension("." + XmlFileRowTexts(xml->Files[i]).Type)});
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

  std::map<std::string, json> readings;
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
    if (t.ProgramType || reading->second["Pe"] == true) (*t.Object)["Program"] = reading->second;
  }
  fs::remove_all(workFolder, ec);
}

}  // namespace vornix

#include "app/json_xml.h"

#include "common/text.h"
#include "presentation/xml_texts.h"

namespace vornix {
namespace {

Json OrNull(bool present, Json value) { return present ? std::move(value) : Json(nullptr); }

Json EntryFields(const std::optional<CabinetEntryRef>& entry) {
  return {{"size", OrNull(entry.has_value(), entry ? Json(static_cast<uint32_t>(entry->Size)) : Json())},
          {"date", entry ? JsonDosDate(entry->DosDate, entry->DosTime) : Json(nullptr)}};
}

// A parameter after a source, its attributes by name: {"name": "SelfRegister"}.
Json Parameters(const std::vector<XmlExtraParm>& extra) {
  Json out = Json::array();
  for (const XmlExtraParm& parm : extra) {
    Json attributes = Json::object();
    for (const XmlAttribute& a : parm) attributes[Cp1252ToUtf8(a.first)] = JsonText(a.second);
    out.push_back(std::move(attributes));
  }
  return out;
}

const char* RegistryTypeName(const std::string& datatype) {
  const std::string type = LowerCp1252(datatype);
  if (type == "string") return "REG_SZ";
  if (type == "integer") return "REG_DWORD";
  if (type == "binary") return "REG_BINARY";
  if (type == "multiplestring") return "REG_MULTI_SZ";
  return nullptr;
}

// An integer's number, binary data's bytes in lower-case hexadecimal, a
// multiple string's strings; a value that is not what its type says, and
// any other, as its text.
Json RegistryData(const XmlRegistryValue& v) {
  if (v.Integer) return *v.Integer;
  if (v.Bytes) {
    std::string hex;
    for (char b : *v.Bytes) hex += Format("%02x", static_cast<unsigned char>(b));
    return hex;
  }
  if (LowerCp1252(v.Datatype) != "multiplestring") return JsonText(v.Text);
  // The reader writes each separator as quote, comma, quote, and then quotes the whole.
  const std::string& t = v.Text;
  const bool separated = t.size() >= 2 && t.front() == '"' && t.back() == '"' && t.find("\",\"") != std::string::npos;
  if (!separated) return Json::array({JsonText(t)});
  const std::string inner = t.substr(1, t.size() - 2);
  Json items = Json::array();
  size_t at = 0;
  for (size_t sep; (sep = inner.find("\",\"", at)) != std::string::npos; at = sep + 3)
    items.push_back(JsonText(inner.substr(at, sep - at)));
  items.push_back(JsonText(inner.substr(at)));
  return items;
}

}  // namespace

Json XmlJson(const std::string& xmlFileName, const Result<XmlSetupAnalysis>& read) {
  Json j;
  j["file_name"] = JsonText(xmlFileName);
  if (!read) {
    j["error"] = JsonText(read.error().Message);
    return j;
  }
  const XmlSetupAnalysis& a = *read;
  j["app_name"] = JsonText(a.AppName);
  j["install_dir"] = a.InstallDir ? JsonText(*a.InstallDir) : Json(nullptr);
  Json& install = j["install_parameters"] = Json::array();
  for (const std::vector<XmlInstallParm>& section : a.Install)
    for (const XmlInstallParm& p : section)
      install.push_back({{"name", JsonText(p.Name)}, {"value", JsonText(p.Value)}});
  Json& dirs = j["directories"] = Json::array();
  for (const XmlDir& d : a.Dirs) dirs.push_back({{"number", d.Number}, {"path", JsonText(d.Path)}});
  Json& files = j["files"] = Json::array();
  j["setup_dll"] = nullptr;
  for (const XmlFile& f : a.Files) {
    Json file = {{"stored_name", JsonText(f.CabName)}, {"installed_name", JsonText(f.DestName)}};
    if (f.IsSetupDll) {
      file.update(EntryFields(f.Entry));
      j["setup_dll"] = std::move(file);
      continue;
    }
    file["directory_number"] = f.DirNumber;
    file["device_folder"] = JsonText(f.Directory);
    file.update(EntryFields(f.Entry));
    file["flags"] = f.CopyFlags;
    file["self_register"] = f.SelfRegister;
    file["parameters"] = Parameters(f.Extra);
    files.push_back(std::move(file));
  }
  Json& shortcuts = j["shortcuts"] = Json::array();
  for (const XmlShortcut& s : a.Shortcuts)
    shortcuts.push_back({{"directory_number", s.DirNumber},
                         {"device_folder", JsonText(a.dirPath(s.DirNumber))},
                         {"name", JsonText(s.Name)},
                         {"target", JsonText(s.Target)},
                         {"target_expanded", JsonText(Expand(s.Target))},
                         {"parameters", Parameters(s.Extra)}});
  Json& registry = j["registry"] = Json::array();
  for (const XmlRegistryKey& k : a.RegistryKeys) {
    const size_t slash = k.Path.find('\\');
    const std::string root = k.Path.substr(0, slash);
    const std::string key = slash == std::string::npos ? std::string() : k.Path.substr(slash + 1);
    for (const XmlRegistryValue& v : k.Values) {
      const char* type = RegistryTypeName(v.Datatype);
      registry.push_back({{"root", JsonText(root)},
                          {"key", JsonText(key)},
                          {"name", JsonText(v.Name)},
                          {"type", type ? Json(type) : Json(nullptr)},
                          {"datatype", JsonText(v.Datatype)},
                          {"data", RegistryData(v)}});
    }
  }
  j["warnings"] = JsonTexts(a.Warnings);
  j["inf_lines"] = JsonTexts(XmlInfLines(a));
  return j;
}

}  // namespace vornix

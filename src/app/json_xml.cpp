#include "app/json_xml.h"

#include "common/base64.h"
#include "common/text.h"

namespace vornix {
namespace {

Json OrNull(bool present, Json value) { return present ? std::move(value) : Json(nullptr); }

// Folder numbers are kept as the lists show them ("01").
Json Number(const std::string& text) {
  uint32_t n = 0;
  return ParseInt32Text(text, n) ? Json(n) : Json(nullptr);
}

std::string Unquoted(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') return text.substr(1, text.size() - 2);
  return text;
}

const TCABFileEntry* EntryNamed(const CabListing& listing, const std::string& name) {
  const std::string folded = LowerCp1252(name);
  for (const TCABFileEntry& e : listing)
    if (LowerCp1252(e.Name) == folded) return &e;
  return nullptr;
}

Json EntryFields(const CabListing& listing, const std::string& storedName) {
  const TCABFileEntry* e = storedName.empty() ? nullptr : EntryNamed(listing, storedName);
  return {{"size", OrNull(e, e ? Json(static_cast<uint32_t>(e->Size)) : Json())},
          {"date", e ? JsonDosDate(e->DosDate, e->DosTime) : Json(nullptr)}};
}

// A value's text by its datatype: "integer" a number, "binary" (Base64) the
// bytes in lower-case hexadecimal, "multiplestring" its strings; a text that
// is not what its type says stays text.
Json RegistryValue(const std::string& type, const std::string& text) {
  if (type == "integer") {
    uint32_t n = 0;
    if (ParseInt32Text(text, n)) return n;
  } else if (type == "binary") {
    if (const Result<std::string> bytes = TBase64::Decode(text)) {
      std::string hex;
      for (char b : *bytes) hex += Format("%02x", static_cast<unsigned char>(b));
      return hex;
    }
  } else if (type == "multiplestring") {
    // The reader writes the separator as quote, comma, quote and quotes the whole.
    Json items = Json::array();
    const std::string inner = text.size() >= 2 && text.front() == '"' && text.back() == '"' ? text.substr(1, text.size() - 2) : text;
    size_t at = 0;
    for (size_t sep; (sep = inner.find("\",\"", at)) != std::string::npos; at = sep + 3) items.push_back(JsonText(inner.substr(at, sep - at)));
    if (at < inner.size()) items.push_back(JsonText(inner.substr(at)));
    return items;
  }
  return JsonText(text);
}

const char* RegistryTypeName(const std::string& type) {
  if (type == "string") return "REG_SZ";
  if (type == "integer") return "REG_DWORD";
  if (type == "binary") return "REG_BINARY";
  if (type == "multiplestring") return "REG_MULTI_SZ";
  return nullptr;
}

Json Registry(const XmlSetupAnalysis& a) {
  Json out = Json::array();
  const std::vector<const XmlTreeNode*> nodes = FlattenTree(a.Roots);
  for (int n : a.RegistrySections) {
    if (n < 0 || static_cast<size_t>(n) >= nodes.size()) continue;
    for (const XmlTreeNode& key : nodes[static_cast<size_t>(n)]->Children) {
      if (!key.IsElement) continue;
      const std::string* path = key.attribute("type");
      const std::string full = path ? *path : std::string();
      const size_t slash = full.find('\\');
      for (const XmlTreeNode& v : key.Children) {
        if (!v.IsElement) continue;
        const std::string* name = v.attribute("name");
        const std::string* datatype = v.attribute("datatype");
        const std::string* value = v.attribute("value");
        const std::string type = datatype ? LowerCp1252(*datatype) : std::string();
        const char* typeName = RegistryTypeName(type);
        out.push_back({{"root", JsonText(full.substr(0, slash))},
                       {"key", JsonText(slash == std::string::npos ? std::string() : full.substr(slash + 1))},
                       {"name", JsonText(name ? *name : std::string())},
                       {"type", OrNull(typeName, typeName ? Json(typeName) : Json())},
                       {"datatype", JsonText(datatype ? *datatype : std::string())},
                       {"data", RegistryValue(type, value ? *value : std::string())}});
      }
    }
  }
  return out;
}

}  // namespace

Json XmlJson(const OpenFindings& findings, const XmlReadResult& read) {
  Json j;
  j["file_name"] = JsonText(findings.XmlFileName);
  if (!read.ok()) {
    j["error"] = JsonText(read.Message);
    return j;
  }
  const XmlSetupAnalysis& a = *read.Analysis;
  const CabListing& listing = findings.Listing;
  j["app_name"] = JsonText(a.AppName);
  j["install_dir"] = OrNull(!a.InstallDir.empty(), JsonText(Unquoted(a.InstallDir)));
  Json& dirs = j["directories"] = Json::array();
  for (const XmlDirRow& d : a.Dirs) dirs.push_back({{"number", Number(d.Number)}, {"path", JsonText(d.Path)}});
  Json& files = j["files"] = Json::array();
  j["setup_dll"] = nullptr;
  for (const XmlFileRow& f : a.Files) {
    Json file = {{"stored_name", JsonText(f.CabName)}, {"installed_name", JsonText(Unquoted(f.FileName))}};
    if (f.IsSetupDll) {
      file.update(EntryFields(listing, f.CabName));
      j["setup_dll"] = std::move(file);
      continue;
    }
    file["directory_number"] = Number(f.Number);
    file["device_folder"] = JsonText(f.Directory);
    file.update(EntryFields(listing, f.CabName));
    Json& parameters = file["parameters"] = Json::array();
    for (size_t at = 0; at < f.Extra.size();) {
      size_t comma = f.Extra.find(", ", at);
      if (comma == std::string::npos) comma = f.Extra.size();
      parameters.push_back(JsonText(f.Extra.substr(at, comma - at)));
      at = comma + 2;
    }
    file["self_register"] = f.Extra.find("SelfRegister") != std::string::npos;
    files.push_back(std::move(file));
  }
  Json& shortcuts = j["shortcuts"] = Json::array();
  for (const XmlShortcutRow& s : a.Shortcuts)
    shortcuts.push_back({{"directory_number", Number(s.Number)},
                         {"name", JsonText(Unquoted(s.Name))},
                         {"target", JsonText(Unquoted(s.Target))},
                         {"target_expanded", JsonText(Unquoted(s.ExpandedTarget))}});
  j["registry"] = Registry(a);
  j["warnings"] = JsonTexts(a.Warnings);
  j["inf_lines"] = JsonTexts(a.InfLines);
  return j;
}

}  // namespace vornix

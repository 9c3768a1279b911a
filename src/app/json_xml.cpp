#include "app/json_xml.h"

#include "common/text.h"

using nlohmann::json;

namespace vornix {
namespace {

json Text(const std::string& cp1252) { return Cp1252ToUtf8(cp1252); }

json Texts(const std::vector<std::string>& list) {
  json out = json::array();
  for (const std::string& t : list) out.push_back(Text(t));
  return out;
}

json Node(const XmlTreeNode& node) {
  json children = json::array();
  for (const XmlTreeNode& c : node.Children) children.push_back(Node(c));
  return {{"Caption", Text(node.Caption)}, {"Children", std::move(children)}};
}

}  // namespace

json XmlAnalysisJson(const XmlSetupAnalysis& a) {
  json j;
  json tree = json::array();
  for (const XmlTreeNode& r : a.Roots) tree.push_back(Node(r));
  j["Tree"] = std::move(tree);
  j["Sections"] = {{"Install", a.InstallSections},
                   {"FileOperation", a.FileOperationSections},
                   {"Registry", a.RegistrySections}};
  json general = json::array();
  for (const XmlGeneralRow& g : a.General) general.push_back({{"Label", Text(g.Label)}, {"Value", Text(g.Value)}});
  j["General"] = std::move(general);
  json dirs = json::array();
  for (const XmlDirRow& d : a.Dirs) dirs.push_back({{"Number", Text(d.Number)}, {"Path", Text(d.Path)}});
  j["Dirs"] = std::move(dirs);
  json files = json::array();
  for (const XmlFileRow& f : a.Files)
    files.push_back({{"Number", Text(f.Number)},
                     {"CabName", Text(f.CabName)},
                     {"FileName", Text(f.FileName)},
                     {"Flags", Text(f.Extra)},
                     {"Directory", Text(f.Directory)},
                     {"Size", Text(f.Size)},
                     {"Date", Text(f.Date)},
                     {"Type", Text(f.Type)},
                     {"SetupDll", f.IsSetupDll}});
  j["Files"] = std::move(files);
  json links = json::array();
  for (const XmlShortcutRow& s : a.Shortcuts)
    links.push_back({{"Number", Text(s.Number)},
                     {"Target", Text(s.Target)},
                     {"Name", Text(s.Name)},
                     {"ExpandedTarget", Text(s.ExpandedTarget)},
                     {"Flags", Text(s.Extra)}});
  j["Shortcuts"] = std::move(links);
  j["AppName"] = Text(a.AppName);
  j["InstallDir"] = Text(a.InstallDir);
  j["SetupDllName"] = Text(a.SetupDllName);
  j["RegistryListing"] = Texts(a.RegistryListing);
  j["InfLines"] = Texts(a.InfLines);
  j["InfFileName"] = Text(a.infFileName());
  j["Warnings"] = Texts(a.Warnings);
  return j;
}

json XmlReadJson(const XmlReadResult& result) {
  if (!result.ok()) return {{"ok", false}, {"Message", Text(result.Message)}};
  json j = XmlAnalysisJson(*result.Analysis);
  j["ok"] = true;
  return j;
}

}  // namespace vornix

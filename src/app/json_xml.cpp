#include "app/json_xml.h"

#include "app/json_text.h"

using nlohmann::json;

namespace vornix {
namespace {

json Node(const XmlTreeNode& node) {
  json children = json::array();
  for (const XmlTreeNode& c : node.Children) children.push_back(Node(c));
  return {{"Caption", JsonText(node.Caption)}, {"Children", std::move(children)}};
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
  for (const XmlGeneralRow& g : a.General) general.push_back({{"Label", JsonText(g.Label)}, {"Value", JsonText(g.Value)}});
  j["General"] = std::move(general);
  json dirs = json::array();
  for (const XmlDirRow& d : a.Dirs) dirs.push_back({{"Number", JsonText(d.Number)}, {"Path", JsonText(d.Path)}});
  j["Dirs"] = std::move(dirs);
  json files = json::array();
  for (const XmlFileRow& f : a.Files)
    files.push_back({{"Number", JsonText(f.Number)},
                     {"CabName", JsonText(f.CabName)},
                     {"FileName", JsonText(f.FileName)},
                     {"Flags", JsonText(f.Extra)},
                     {"Directory", JsonText(f.Directory)},
                     {"Size", JsonText(f.Size)},
                     {"Date", JsonText(f.Date)},
                     {"Type", JsonText(f.Type)},
                     {"SetupDll", f.IsSetupDll}});
  j["Files"] = std::move(files);
  json links = json::array();
  for (const XmlShortcutRow& s : a.Shortcuts)
    links.push_back({{"Number", JsonText(s.Number)},
                     {"Target", JsonText(s.Target)},
                     {"Name", JsonText(s.Name)},
                     {"ExpandedTarget", JsonText(s.ExpandedTarget)},
                     {"Flags", JsonText(s.Extra)}});
  j["Shortcuts"] = std::move(links);
  j["AppName"] = JsonText(a.AppName);
  j["InstallDir"] = JsonText(a.InstallDir);
  j["SetupDllName"] = JsonText(a.SetupDllName);
  j["RegistryListing"] = JsonTexts(a.RegistryListing);
  j["InfLines"] = JsonTexts(a.InfLines);
  j["InfFileName"] = JsonText(a.infFileName());
  j["Warnings"] = JsonTexts(a.Warnings);
  return j;
}

json XmlReadJson(const XmlReadResult& result) {
  if (!result.ok()) return {{"ok", false}, {"Message", JsonText(result.Message)}};
  json j = XmlAnalysisJson(*result.Analysis);
  j["ok"] = true;
  return j;
}

}  // namespace vornix

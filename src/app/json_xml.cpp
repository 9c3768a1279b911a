#include "app/json_xml.h"

#include "app/json_text.h"
#include "presentation/xml_texts.h"

using nlohmann::json;

namespace vornix {
namespace {

json Node(const XmlTreeNode& node) {
  json children = json::array();
  for (const XmlTreeNode& c : node.Children) children.push_back(Node(c));
  return {{"Caption", JsonText(XmlNodeCaption(node))}, {"Children", std::move(children)}};
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
  for (const XmlGeneralRow& g : XmlGeneralRows(a)) general.push_back({{"Label", JsonText(g.Label)}, {"Value", JsonText(g.Value)}});
  j["General"] = std::move(general);
  json dirs = json::array();
  for (const XmlDir& d : a.Dirs) dirs.push_back({{"Number", JsonText(XmlDirNumberText(d.Number))}, {"Path", JsonText(d.Path)}});
  j["Dirs"] = std::move(dirs);
  json files = json::array();
  for (const XmlFile& file : a.Files) {
    const XmlFileTexts f = XmlFileRowTexts(file);
    files.push_back({{"Number", JsonText(f.Number)},
                     {"CabName", JsonText(f.CabName)},
                     {"FileName", JsonText(f.FileName)},
                     {"Flags", JsonText(f.Extra)},
                     {"Directory", JsonText(f.Directory)},
                     {"Size", JsonText(f.Size)},
                     {"Date", JsonText(f.Date)},
                     {"Type", JsonText(f.Type)},
                     {"SetupDll", file.IsSetupDll}});
  }
  j["Files"] = std::move(files);
  json links = json::array();
  for (const XmlShortcut& shortcut : a.Shortcuts) {
    const XmlShortcutTexts s = XmlShortcutRowTexts(shortcut);
    links.push_back({{"Number", JsonText(s.Number)},
                     {"Target", JsonText(s.Target)},
                     {"Name", JsonText(s.Name)},
                     {"ExpandedTarget", JsonText(s.ExpandedTarget)},
                     {"Flags", JsonText(s.Extra)}});
  }
  j["Shortcuts"] = std::move(links);
  j["AppName"] = JsonText(a.AppName);
  j["InstallDir"] = JsonText(XmlInstallDirText(a));
  j["SetupDllName"] = JsonText(a.SetupDllName);
  j["RegistryListing"] = JsonTexts(XmlRegistryListing(a));
  j["InfLines"] = JsonTexts(XmlInfLines(a));
  j["InfFileName"] = JsonText(a.infFileName());
  j["Warnings"] = JsonTexts(a.Warnings);
  return j;
}

json XmlReadJson(const Result<XmlSetupAnalysis>& result) {
  if (!result) return {{"ok", false}, {"Message", JsonText(result.error().Message)}};
  json j = XmlAnalysisJson(*result);
  j["ok"] = true;
  return j;
}

}  // namespace vornix

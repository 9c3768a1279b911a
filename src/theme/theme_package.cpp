// A theme package end to end: list the cabinet, extract its setup
// description into a work folder of its own, read it, remove the folder.
#include <system_error>

#include "cabfiles/cab_file.h"
#include "common/host_fs.h"
#include "common/text.h"
#include "xml/xml_setup.h"
#include "theme/theme.h"

namespace vornix {

ThemeAnalysis AnalyseTheme(const std::filesystem::path& package, const std::filesystem::path& extractionFolder) {
  namespace fs = std::filesystem;
  ThemeAnalysis out;
  const fs::path work = extractionFolder / "TskIdx";
  std::error_code ec;
  fs::create_directories(work, ec);

  TCABFile cab;
  cab.CABFile = package;
  cab.TargetPath = work;
  // A file that is no cabinet lists nothing: it is "not a theme" below.
  (void)cab.ListContents();
  CabListing listing;
  std::string setupName, xmlName;
  uint64_t setupSize = 0, xmlSize = 0;
  for (const TCABFileEntry& e : cab.CABFileContents.items()) {
    listing.push_back(e);
    const std::string lower = LowerCp1252(e.Name);
    if (lower.find(".000") != std::string::npos) {
      setupName = e.Name;
      setupSize = static_cast<uint32_t>(e.Size);
    } else if (lower.find("_setup.xml") != std::string::npos) {
      xmlName = e.Name;
      xmlSize = static_cast<uint32_t>(e.Size);
    }
  }
  out.Rec.Has000 = !setupName.empty();
  out.Rec.HasXML = !xmlName.empty();

  // The chosen entry is written under a fixed name, so a stored name that
  // holds a path can never place it anywhere else.
  auto extract = [&](const std::string& stored, const char* as, uint64_t maxBytes) -> std::optional<std::string> {
    const fs::path target = work / as;
    // What could not be extracted is not there to read.
    (void)cab.Extract([&](const TCABFileEntry& e) -> std::optional<ExtractTarget> {
      if (e.Name != stored) return std::nullopt;
      return ExtractTarget{target};
    });
    return ReadFileBytes(target, maxBytes);
  };

  // The declared sizes are checked before anything is decompressed.
  if (!setupName.empty() && setupSize > kMaxSetupFileSize) {
    out.Error = SetupTooLargeMessage(setupName, setupSize);
  } else if (setupName.empty() && !xmlName.empty() && xmlSize > kMaxXmlFileSize) {
    out.Error = xmlName + " : " + XmlTooLargeMessage(xmlSize);
  } else if (!setupName.empty()) {
    SetupReadInput input;
    input.Path = (work / "theme.000").string();
    input.DisplayName = setupName;
    input.CabinetMode = true;
    input.Listing = &listing;
    if (extract(setupName, "theme.000", kMaxSetupFileSize)) {
      const Result<TSetupInfo> read = ReadSetupFile(input);
      if (read) ReadThemeFromSetup(*read, out);
      else out.Error = read.error().Message;
    } else {
      out.Error = "Cannot extract " + setupName;
    }
  } else if (!xmlName.empty()) {
    if (const auto bytes = extract(xmlName, "_setup.xml", kMaxXmlFileSize)) ReadThemeFromXml(*bytes, out);
    else out.Error = "Cannot extract " + xmlName;
  } else {
    out.Error = "not a theme";
  }
  fs::remove_all(work, ec);
  return out;
}

}  // namespace vornix

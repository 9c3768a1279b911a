// A theme package end to end: list the cabinet, extract its setup
// description into a work folder of its own, read it, remove the folder.
#include <system_error>

#include "cabfiles/cab_file.h"
#include "common/host_fs.h"
#include "common/text.h"
#include "theme/theme.h"
#include "xml/xml_setup.h"

namespace vornix {

namespace {

// The descriptions a theme package holds, as its listing names them.
struct ThemeEntries {
  CabListing Listing;
  std::string SetupName, XmlName;
  uint64_t SetupSize = 0, XmlSize = 0;
};

ThemeEntries ListThemeEntries(TCABFile& cab) {
  ThemeEntries found;
  // A file that is no cabinet lists nothing: it is "not a theme".
  (void)cab.ListContents();
  for (const TCABFileEntry& e : cab.CABFileContents.items()) {
    found.Listing.push_back(e);
    const std::string lower = LowerCp1252(e.Name);
    if (lower.find(".000") != std::string::npos) {
      found.SetupName = e.Name;
      found.SetupSize = static_cast<uint32_t>(e.Size);
    } else if (lower.find("_setup.xml") != std::string::npos) {
      found.XmlName = e.Name;
      found.XmlSize = static_cast<uint32_t>(e.Size);
    }
  }
  return found;
}

ThemeAnalysis Unread(const ThemeEntries& found) {
  ThemeAnalysis out;
  out.Rec.Has000 = !found.SetupName.empty();
  out.Rec.HasXML = !found.XmlName.empty();
  return out;
}

// Reads the description the listing found, extracted into `work`.
Result<ThemeAnalysis> ReadDescription(TCABFile& cab, const ThemeEntries& found, const std::filesystem::path& work) {
  // The chosen entry is written under a fixed name, so a stored name that
  // holds a path can never place it anywhere else.
  auto extract = [&](const std::string& stored, const char* as, uint64_t maxBytes) -> std::optional<std::string> {
    const std::filesystem::path target = work / as;
    // What could not be extracted is not there to read.
    (void)cab.Extract([&](const TCABFileEntry& e) -> std::optional<ExtractTarget> {
      if (e.Name != stored) return std::nullopt;
      return ExtractTarget{target};
    });
    return ReadFileBytes(target, maxBytes);
  };
  ThemeAnalysis out = Unread(found);
  // The declared sizes are checked before anything is decompressed.
  if (!found.SetupName.empty() && found.SetupSize > kMaxSetupFileSize)
    return MakeError(ErrorCode::TooLarge, SetupTooLargeMessage(found.SetupName, found.SetupSize));
  if (found.SetupName.empty() && !found.XmlName.empty() && found.XmlSize > kMaxXmlFileSize)
    return MakeError(ErrorCode::TooLarge, found.XmlName + " : " + XmlTooLargeMessage(found.XmlSize));
  if (!found.SetupName.empty()) {
    if (!extract(found.SetupName, "theme.000", kMaxSetupFileSize))
      return MakeError(ErrorCode::CannotOpen, "Cannot extract " + found.SetupName);
    SetupReadInput input;
    input.Path = (work / "theme.000").string();
    input.DisplayName = found.SetupName;
    input.CabinetMode = true;
    input.Listing = &found.Listing;
    const Result<TSetupInfo> read = ReadSetupFile(input);
    if (!read) return read.error();
    ReadThemeFromSetup(*read, out);
    return out;
  }
  if (!found.XmlName.empty()) {
    const auto bytes = extract(found.XmlName, "_setup.xml", kMaxXmlFileSize);
    if (!bytes) return MakeError(ErrorCode::CannotOpen, "Cannot extract " + found.XmlName);
    if (Result<void> read = ReadThemeFromXml(*bytes, out); !read) return read.error();
    return out;
  }
  return MakeError(ErrorCode::NotATheme, "not a theme");
}

}  // namespace

Result<ThemeAnalysis> AnalyseTheme(const std::filesystem::path& package,
                                   const std::filesystem::path& extractionFolder) {
  const std::filesystem::path work = extractionFolder / "TskIdx";
  std::error_code ec;
  std::filesystem::create_directories(work, ec);
  TCABFile cab;
  cab.CABFile = package;
  cab.TargetPath = work;
  Result<ThemeAnalysis> read = ReadDescription(cab, ListThemeEntries(cab), work);
  std::filesystem::remove_all(work, ec);
  return read;
}

ThemeAnalysis UnreadTheme(const std::filesystem::path& package) {
  TCABFile cab;
  cab.CABFile = package;
  return Unread(ListThemeEntries(cab));
}

}  // namespace vornix

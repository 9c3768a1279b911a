#include "app/json_output.h"

#include "common/host_fs.h"
#include "common/text.h"
#include "presentation/display.h"
#include "signature/cab_signature.h"

using nlohmann::json;

namespace vornix {
namespace {

std::vector<std::string> EntryNames(const CabListing& listing) {
  std::vector<std::string> out;
  for (const TCABFileEntry& e : listing) out.push_back(e.Name);
  return out;
}

json EntrySizes(const CabListing& listing) {
  json out = json::array();
  for (const TCABFileEntry& e : listing) out.push_back(SizeText(e.Size));
  return out;
}

json EntryDates(const CabListing& listing) {
  json out = json::array();
  for (const TCABFileEntry& e : listing) out.push_back(DosDateText(e.DosDate, e.DosTime));
  return out;
}

const char* OutcomeName(OpenOutcome outcome) {
  switch (outcome) {
    case OpenOutcome::SetupAnalysed: return "setup";
    case OpenOutcome::SetupRejected: return "rejected";
    case OpenOutcome::XmlFound: return "xml";
    case OpenOutcome::NothingFound: return "nothing";
  }
  return "nothing";
}

// The header's fields and the texts made from them.
void AddSetupHeader(json& j, const TSetupInfo& s) {
  const TSetupHeader& h = s.Header;
  j["Header"] = {{"FileSize", h.FileSize},
                 {"ProcessorCode", h.ProcessorCode},
                 {"MinVersion", {h.MinVersionMajor, h.MinVersionMinor}},
                 {"MaxVersion", {h.MaxVersionMajor, h.MaxVersionMinor}},
                 {"MinBuild", h.MinBuild},
                 {"MaxBuild", h.MaxBuild},
                 {"Counts",
                  {{"Strings", h.StringCount},
                   {"Dirs", h.DirCount},
                   {"Files", h.FileCount},
                   {"Hives", h.HiveCount},
                   {"RegKeys", h.RegKeyCount},
                   {"Shortcuts", h.ShortcutCount}}}};
  j["ActualFileSize"] = s.ActualFileSize;
  j["Signature"] = JsonText(s.Signature);
  j["ProcessorText"] = JsonText(ProcessorText(h));
  j["MinVersion"] = MinVersionText(h);
  j["MaxVersion"] = MaxVersionText(h);
  j["MinBuild"] = MinBuildText(h);
  j["MaxBuild"] = MaxBuildText(h);
  j["ProcessorTypeText"] = ProcessorTypeText(h);
  j["AppName"] = JsonText(s.AppName);
  j["Provider"] = JsonText(s.Provider);
  j["UnsupportedPlatforms"] = JsonText(UnsupportedPlatformsText(s.UnsupportedPlatforms));
  j["InstallDir"] = JsonText(s.InstallDir);
  j["InstallDirExpanded"] = JsonText(s.InstallDirExpanded);
  j["ProviderInInstallDir"] = s.ProviderInInstallDir;
}

// The records of the six tables, each with the texts the lists show for it.
void AddSetupTables(json& j, const TSetupInfo& s) {
  json strings = json::array();
  for (const auto& c : s.Strings)
    strings.push_back({{"Id", c.Id}, {"IdText", IdText3(c.Id)}, {"Value", JsonText(c.Value)},
                       {"Equivalent", JsonText(c.Equivalent)}});
  j["Strings"] = strings;

  json dirs = json::array();
  for (const auto& d : s.Dirs)
    dirs.push_back({{"Id", d.Id}, {"IdText", IdText3(d.Id)}, {"StringIds", d.StringIds}, {"IdPath", DirIdPathText(d)},
                    {"Path", JsonText(d.Path)}, {"RawPath", JsonText(d.RawPath)}});
  j["Dirs"] = dirs;

  json files = json::array();
  for (const auto& f : s.Files)
    files.push_back({{"Id", f.Id}, {"IdText", IdText3(f.Id)}, {"DirId", f.DirId}, {"OrderNumber", f.OrderNumber},
                     {"Flags", f.Flags}, {"Name", JsonText(f.Name)}, {"InfName", JsonText(InfFileName(f.Name))},
                     {"CabName", JsonText(FileCabName(s, f))}, {"CabSize", FileCabSize(f)}, {"CabDate", FileCabDate(f)},
                     {"DirText", JsonText(FileDirText(s, f))}, {"OrderText", IdText3(f.OrderNumber)},
                     {"FlagsText", FlagsText(f.Flags)}, {"TypeText", JsonText(FileTypeText(f))},
                     {"CopyLine", JsonText(FileCopyLine(f))}});
  j["Files"] = files;

  json hives = json::array();
  for (const auto& h2 : s.Hives)
    hives.push_back({{"Id", h2.Id}, {"IdText", IdText3(h2.Id)}, {"Root", h2.Root}, {"RootName", HiveRootText(h2)},
                     {"StringIds", h2.StringIds}, {"Path", JsonText(h2.Path)}});
  j["Hives"] = hives;

  json keys = json::array();
  for (const auto& k : s.RegKeys)
    keys.push_back({{"Id", k.Id}, {"IdText", IdText3(k.Id)}, {"HiveId", k.HiveId}, {"Flags", k.Flags},
                    {"HiveText", JsonText(HiveText(s, k))}, {"TypeName", RegTypeText(k)},
                    {"FlagsText", FlagsText(k.Flags)}, {"Name", JsonText(k.Name)},
                    {"RawValue", JsonText(RegRawValueText(k))}, {"Value", JsonText(RegValueText(s, k))},
                    {"Note", JsonText(RegNoteText(s, k))}});
  j["RegKeys"] = keys;

  json links = json::array();
  for (const auto& r : s.Shortcuts)
    links.push_back({{"Id", r.Id}, {"IdText", Format("%u", r.Id)}, {"BaseDirId", r.BaseDirId},
                     {"FolderNumber", r.FolderNumber}, {"TargetId", r.TargetId}, {"Kind", r.Kind},
                     {"StringIds", r.StringIds}, {"Name", JsonText(r.Name)}, {"InstalledAt", JsonText(r.InstalledAt)},
                     {"InstalledAtRaw", JsonText(r.InstalledAtRaw)}, {"OwnSection", r.OwnSection},
                     {"StandardFolder", Format("%u", r.StandardFolder)}, {"KindText", JsonText(ShortcutKindText(r))},
                     {"TargetText", JsonText(ShortcutTargetText(s, r))}});
  j["Shortcuts"] = links;
}

json SetupJson(const SetupAnalysis& a) {
  const TSetupInfo& s = a.Info;
  json j;
  AddSetupHeader(j, s);
  json general = json::array();
  for (const auto& g : a.Lists.General) general.push_back({{"Label", JsonText(g.Label)}, {"Value", JsonText(g.Value)}});
  j["General"] = general;
  AddSetupTables(j, s);

  j["SetupDll"] = s.SetupDll.present() ? json{{"Name", JsonText(s.SetupDll.Name)},
                                              {"Size", SizeText(s.SetupDll.Size)},
                                              {"Date", DosDateText(s.SetupDll.DosDate, s.SetupDll.DosTime)}}
                                       : json(nullptr);
  j["SelfRegister"] = JsonTexts(SelfRegisterNames(s));
  j["Duplicates"] = JsonTexts(s.Duplicates);
  j["HasDuplicates"] = s.HasDuplicates;
  j["HasShortList"] = s.HasShortList;
  j["HasOwnSections"] = s.HasOwnSections;
  j["InfLines"] = JsonTexts(a.InfLines);
  return j;
}

json Optional(const std::optional<bool>& value) { return value ? json(*value) : json(nullptr); }

json CertificateJson(const CertificateInfo& c) {
  auto date = [](const CertificateDate& d) { return json{{"Valid", d.Valid}, {"Text", d.Text}}; };
  return {{"Subject", c.Subject},
          {"Issuer", c.Issuer},
          {"CommonName", c.CommonName},
          {"Serial", c.Serial},
          {"NotBefore", date(c.NotBefore)},
          {"NotAfter", date(c.NotAfter)},
          {"SignatureAlgorithm", c.SignatureAlgorithm},
          {"SelfSigned", c.SelfSigned}};
}

}  // namespace

json SignatureJson(const CabinetSignature& s) {
  json certificates = json::array();
  for (const CertificateInfo& c : s.Certificates) certificates.push_back(CertificateJson(c));
  // Certificate texts are UTF-8 already (OpenSSL prints them so).
  return {{"State", SignatureStateName(s.State)},
          {"Problem", s.Problem},
          {"Offset", s.Offset},
          {"Size", s.Size},
          {"DigestAlgorithm", s.DigestAlgorithm},
          {"SignedDigest", s.SignedDigest},
          {"ComputedDigest", s.ComputedDigest},
          {"ContentMatches", Optional(s.ContentMatches)},
          {"MessageDigestMatches", Optional(s.MessageDigestMatches)},
          {"SignatureVerifies", Optional(s.SignatureVerifies)},
          {"Signer", s.signer() ? CertificateJson(*s.signer()) : json(nullptr)},
          {"SignerIssuer", s.SignerIssuer},
          {"SignerSerial", s.SignerSerial},
          {"SelfSigned", s.SelfSigned},
          {"Chain", ChainStateName(s.Chain)},
          {"ChainPath", s.ChainPath},
          {"Certificates", certificates}};
}

json SessionJson(const PackageSession& session, const OpenResult& result) {
  const OpenFindings& f = session.findings();
  json j;
  j["Package"] = session.packagePath().string();
  j["Outcome"] = OutcomeName(result.Outcome);
  if (!result.Message.empty()) j["Message"] = JsonText(result.Message);
  j["Findings"] = {{"SetupFileName", JsonText(f.SetupFileName)},
                   {"XmlFileName", JsonText(f.XmlFileName)},
                   {"ListingFailed", f.ListingFailed},
                   {"CabinetMode", f.CabinetMode},
                   {"CabEntryNames", JsonTexts(EntryNames(f.Listing))},
                   {"CabEntrySizes", EntrySizes(f.Listing)},
                   {"CabEntryDates", EntryDates(f.Listing)},
                   {"CabOtherNames", JsonTexts(f.CabOtherNames)},
                   {"CabOtherCount", f.CabOtherCount},
                   {"CabTotalSize", f.CabTotalSize},
                   {"CabTaille", f.CabTaille},
                   {"NbDirs", f.NbDirs},
                   {"NbFiles", f.NbFiles},
                   {"DuplicatesFound", f.DuplicatesFound},
                   {"DuplicateNames", JsonTexts(f.DuplicateNames)},
                   {"BatchExitCode", session.BatchExitCode()}};
  j["StatusPanels"] = JsonTexts(session.statusPanels());
  const CabInfoLine& info = session.cabInfo();
  j["CabInfo"] = {{"Visible", info.Visible},
                  {"CompressionLabel", JsonText(info.CompressionLabel)},
                  {"Details", JsonText(info.Details)}};
  if (result.Outcome == OpenOutcome::SetupAnalysed && session.analysis()) j["Setup"] = SetupJson(*session.analysis());
  j["signature"] = f.CabinetMode ? SignatureJson(ReadCabinetSignatureFile(session.packagePath())) : json(nullptr);
  return j;
}

}  // namespace vornix

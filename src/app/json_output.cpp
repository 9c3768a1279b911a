#include "app/json_output.h"

#include "common/host_fs.h"
#include "common/text.h"
#include "signature/cab_signature.h"

using nlohmann::json;

namespace vornix {
namespace {

const char* OutcomeName(OpenOutcome outcome) {
  switch (outcome) {
    case OpenOutcome::SetupAnalysed: return "setup";
    case OpenOutcome::SetupRejected: return "rejected";
    case OpenOutcome::XmlFound: return "xml";
    case OpenOutcome::NothingFound: return "nothing";
  }
  return "nothing";
}

json SetupJson(const SetupAnalysis& a) {
  const TSetupInfo& s = a.Info;
  const TSetupHeader& h = s.Header;
  json j;
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
  j["ProcessorText"] = JsonText(s.ProcessorText);
  j["MinVersion"] = s.MinVersion;
  j["MaxVersion"] = s.MaxVersion;
  j["MinBuild"] = s.MinBuild;
  j["MaxBuild"] = s.MaxBuild;
  j["ProcessorTypeText"] = s.ProcessorTypeText;
  j["AppName"] = JsonText(s.AppName);
  j["Provider"] = JsonText(s.Provider);
  j["UnsupportedPlatforms"] = JsonText(s.UnsupportedPlatforms);
  j["InstallDir"] = JsonText(s.InstallDir);
  j["InstallDirExpanded"] = JsonText(s.InstallDirExpanded);
  j["ProviderInInstallDir"] = s.ProviderInInstallDir;

  json general = json::array();
  for (const auto& g : a.Lists.General) general.push_back({{"Label", JsonText(g.Label)}, {"Value", JsonText(g.Value)}});
  j["General"] = general;

  json strings = json::array();
  for (const auto& c : s.Strings)
    strings.push_back({{"Id", c.Id}, {"IdText", c.IdText}, {"Value", JsonText(c.Value)},
                       {"Equivalent", JsonText(c.Equivalent)}});
  j["Strings"] = strings;

  json dirs = json::array();
  for (const auto& d : s.Dirs)
    dirs.push_back({{"Id", d.Id}, {"IdText", d.IdText}, {"StringIds", d.StringIds}, {"IdPath", d.IdPath},
                    {"Path", JsonText(d.Path)}, {"RawPath", JsonText(d.RawPath)}});
  j["Dirs"] = dirs;

  json files = json::array();
  for (const auto& f : s.Files)
    files.push_back({{"Id", f.Id}, {"IdText", f.IdText}, {"DirId", f.DirId}, {"OrderNumber", f.OrderNumber},
                     {"Flags", f.Flags}, {"Name", JsonText(f.Name)}, {"InfName", JsonText(f.InfName)},
                     {"CabName", JsonText(f.CabName)}, {"CabSize", f.CabSize}, {"CabDate", f.CabDate},
                     {"DirText", JsonText(f.DirText)}, {"OrderText", f.OrderText}, {"FlagsText", f.FlagsText},
                     {"TypeText", JsonText(f.TypeText)}, {"CopyLine", JsonText(f.CopyLine)}});
  j["Files"] = files;

  json hives = json::array();
  for (const auto& h2 : s.Hives)
    hives.push_back({{"Id", h2.Id}, {"IdText", h2.IdText}, {"Root", h2.Root}, {"RootName", h2.RootName},
                     {"StringIds", h2.StringIds}, {"Path", JsonText(h2.Path)}});
  j["Hives"] = hives;

  json keys = json::array();
  for (const auto& k : s.RegKeys)
    keys.push_back({{"Id", k.Id}, {"IdText", k.IdText}, {"HiveId", k.HiveId}, {"Flags", k.Flags},
                    {"HiveText", JsonText(k.HiveText)}, {"TypeName", k.TypeName}, {"FlagsText", k.FlagsText},
                    {"Name", JsonText(k.Name)}, {"RawValue", JsonText(k.RawValue)}, {"Value", JsonText(k.Value)},
                    {"Note", JsonText(k.Note)}});
  j["RegKeys"] = keys;

  json links = json::array();
  for (const auto& r : s.Shortcuts)
    links.push_back({{"Id", r.Id}, {"IdText", r.IdText}, {"BaseDirId", r.BaseDirId},
                     {"FolderNumber", r.FolderNumber}, {"TargetId", r.TargetId}, {"Kind", r.Kind},
                     {"StringIds", r.StringIds}, {"Name", JsonText(r.Name)}, {"InstalledAt", JsonText(r.InstalledAt)},
                     {"InstalledAtRaw", JsonText(r.InstalledAtRaw)}, {"OwnSection", r.OwnSection},
                     {"StandardFolder", r.StandardFolder}, {"KindText", JsonText(r.KindText)},
                     {"TargetText", JsonText(r.TargetText)}});
  j["Shortcuts"] = links;

  j["SetupDll"] = s.SetupDll.present()
                      ? json{{"Name", JsonText(s.SetupDll.Name)}, {"Size", s.SetupDll.Size}, {"Date", s.SetupDll.Date}}
                      : json(nullptr);
  j["SelfRegister"] = JsonTexts(s.SelfRegister);
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
                   {"CabEntryNames", JsonTexts(f.Listing.Names)},
                   {"CabEntrySizes", f.Listing.Sizes},
                   {"CabEntryDates", f.Listing.Dates},
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

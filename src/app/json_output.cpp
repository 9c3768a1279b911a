#include "app/json_output.h"

#include "common/text.h"
#include "presentation/display.h"

namespace vornix {
namespace {

Json OrNull(bool present, Json value) { return present ? std::move(value) : Json(nullptr); }

// The cabinet stores its sizes unsigned; the records keep them in signed
// 32-bit fields, where a size of 2 GB or more reads as negative.
uint32_t Unsigned(int32_t size) { return static_cast<uint32_t>(size); }

const char* OutcomeName(OpenOutcome outcome) {
  switch (outcome) {
    case OpenOutcome::SetupAnalysed: return "setup";
    case OpenOutcome::SetupRejected: return "rejected";
    case OpenOutcome::XmlFound: return "xml";
    case OpenOutcome::NothingFound: return "nothing";
  }
  return "nothing";
}

Json CabinetJson(const OpenFindings& f) {
  const bool read = f.CabTaille != -1;
  Json listing = Json::array();
  for (const TCABFileEntry& e : f.Listing)
    listing.push_back(
        {{"stored_name", JsonText(e.Name)}, {"size", Unsigned(e.Size)}, {"date", JsonDosDate(e.DosDate, e.DosTime)}});
  return {{"size", OrNull(read, Unsigned(f.CabTaille))},
          {"folders", OrNull(read, f.NbDirs)},
          {"entries", OrNull(read, f.NbFiles)},
          {"unpacked_size", f.CabTotalSize},
          {"compressed", OrNull(read, f.CabTaille < f.CabTotalSize)},
          {"listing_failed", f.ListingFailed},
          {"setup_file", OrNull(!f.SetupFileName.empty(), JsonText(f.SetupFileName))},
          {"xml_file", OrNull(!f.XmlFileName.empty(), JsonText(f.XmlFileName))},
          {"listing", std::move(listing)}};
}

Json Version(int32_t major, int32_t minor) { return Json::array({major, minor}); }

// A registry value's bytes by its type: a string, a list of strings, a
// number, or lower-case hexadecimal digits for binary data and for anything
// a type does not describe (a DWORD that is not four bytes long).
Json RegistryData(const AListReg& key) {
  const uint32_t type = key.Flags & ~kRegNoClobber;
  if (type == kRegSz) return JsonText(std::string(RegSzText(key.Data)));
  if (type == kRegMultiSz) {
    Json items = Json::array();
    for (std::string_view item : RegMultiSzTexts(key.Data)) items.push_back(JsonText(std::string(item)));
    return items;
  }
  uint32_t dword = 0;
  if (type == kRegDword && RegDwordValue(key.Data, dword)) return dword;
  std::string hex;
  for (char b : key.Data) hex += Format("%02x", static_cast<unsigned char>(b));
  return hex;
}

Json FileJson(const TSetupInfo& s, const AListFiles& f) {
  const AListDir* dir = s.findDir(f.DirId);
  const CabinetEntryRef* entry = f.Entry ? &*f.Entry : nullptr;
  return {{"id", f.Id},
          {"installed_name", JsonText(f.Name)},
          {"stored_name", OrNull(entry, entry ? JsonText(entry->Name) : Json())},
          {"directory_id", f.DirId},
          {"device_folder", OrNull(dir, dir ? JsonText(dir->Path) : Json())},
          {"size", OrNull(entry, entry ? Json(Unsigned(entry->Size)) : Json())},
          {"date", entry ? JsonDosDate(entry->DosDate, entry->DosTime) : Json(nullptr)},
          {"flags", f.Flags},
          {"self_register", (f.Flags & kFileSelfRegister) != 0},
          {"order", f.OrderNumber}};
}

Json RegistryJson(const TSetupInfo& s, const AListReg& k) {
  const AListHive* hive = s.findHive(k.HiveId);
  const std::string_view root = hive ? HiveRootName(hive->Root) : std::string_view();
  const std::string_view type = RegTypeName(k.Flags);
  return {{"id", k.Id},
          {"hive_id", k.HiveId},
          {"root", OrNull(!root.empty(), std::string(root))},
          {"key", OrNull(hive, hive ? JsonText(hive->Path) : Json())},
          {"name", JsonText(k.Name)},
          {"type", OrNull(!type.empty(), std::string(type))},
          {"data", RegistryData(k)},
          {"flags", k.Flags},
          {"no_overwrite", (k.Flags & kRegNoClobber) != 0}};
}

Json ShortcutJson(const TSetupInfo& s, const AListRac& r) {
  const std::optional<std::string> target = ShortcutTargetName(s, r);
  return {{"id", r.Id},
          {"name", JsonText(r.Name)},
          {"target_type", r.Kind == 0   ? Json("directory")
                          : r.Kind == 1 ? Json("file")
                                        : Json(nullptr)},
          {"target_id", r.TargetId},
          {"target", OrNull(target.has_value(), target ? JsonText(*target) : Json())},
          {"device_folder", JsonText(r.InstalledAt)},
          {"device_folder_raw", JsonText(r.InstalledAtRaw)},
          {"base_directory_id", r.BaseDirId},
          {"standard_folder", OrNull(r.StandardFolder != 0, r.StandardFolder)},
          {"own_section", r.OwnSection}};
}

Json SetupJson(const SetupAnalysis& a) {
  const TSetupInfo& s = a.Info;
  const TSetupHeader& h = s.Header;
  const char* processor = ProcessorName(h.ProcessorCode);
  Json j;
  j["file_name"] = JsonText(a.SetupFileName);
  j["magic"] = JsonText(s.Signature);
  j["file_size"] = h.FileSize;
  j["actual_file_size"] = s.ActualFileSize;
  j["app_name"] = JsonText(s.AppName);
  j["provider"] = JsonText(s.Provider);
  j["processor"] = {{"code", h.ProcessorCode}, {"name", OrNull(processor, processor ? Json(processor) : Json())}};
  j["os_version_min"] = Version(h.MinVersionMajor, h.MinVersionMinor);
  j["os_version_max"] = Version(h.MaxVersionMajor, h.MaxVersionMinor);
  j["build_min"] = h.MinBuild;
  j["build_max"] = h.MaxBuild;
  j["unsupported_platforms"] = JsonTexts(s.UnsupportedPlatforms);
  j["install_dir"] = JsonText(s.InstallDir);
  j["install_dir_expanded"] = JsonText(s.InstallDirExpanded);
  j["provider_in_install_dir"] = s.ProviderInInstallDir;
  j["counts"] = {{"strings", h.StringCount}, {"directories", h.DirCount}, {"files", h.FileCount},
                 {"hives", h.HiveCount},     {"registry", h.RegKeyCount}, {"shortcuts", h.ShortcutCount}};

  Json& strings = j["strings"] = Json::array();
  for (const AListChaine& c : s.Strings)
    strings.push_back({{"id", c.Id}, {"value", JsonText(c.Value)}, {"expanded", JsonText(c.Equivalent)}});
  Json& dirs = j["directories"] = Json::array();
  for (const AListDir& d : s.Dirs)
    dirs.push_back(
        {{"id", d.Id}, {"string_ids", d.StringIds}, {"path", JsonText(d.Path)}, {"raw_path", JsonText(d.RawPath)}});
  Json& files = j["files"] = Json::array();
  for (const AListFiles& f : s.Files) files.push_back(FileJson(s, f));
  Json& hives = j["hives"] = Json::array();
  for (const AListHive& hv : s.Hives) {
    const std::string_view root = HiveRootName(hv.Root);
    hives.push_back({{"id", hv.Id},
                     {"root", OrNull(!root.empty(), std::string(root))},
                     {"root_code", hv.Root},
                     {"string_ids", hv.StringIds},
                     {"key", JsonText(hv.Path)}});
  }
  Json& registry = j["registry"] = Json::array();
  for (const AListReg& k : s.RegKeys) registry.push_back(RegistryJson(s, k));
  Json& shortcuts = j["shortcuts"] = Json::array();
  for (const AListRac& r : s.Shortcuts) shortcuts.push_back(ShortcutJson(s, r));

  const SetupDllEntry& dll = s.SetupDll;
  j["setup_dll"] = dll.present() ? Json{{"stored_name", JsonText(dll.Name)},
                                        {"installed_name", JsonText(SetupDllFileName(dll))},
                                        {"size", Unsigned(dll.Size)},
                                        {"date", JsonDosDate(dll.DosDate, dll.DosTime)}}
                                 : Json(nullptr);
  j["duplicates"] = JsonTexts(s.Duplicates);
  j["inf_lines"] = JsonTexts(a.InfLines);
  return j;
}

Json Optional(const std::optional<bool>& value) { return value ? Json(*value) : Json(nullptr); }

// "2009-01-01 03:00:00 UTC" as "2009-01-01T03:00:00Z"; null for a date the
// certificate does not store as one.
Json CertificateDateJson(const CertificateDate& d) {
  if (!d.Valid || d.Text.size() < 19) return nullptr;
  std::string iso = d.Text.substr(0, 19);
  iso[10] = 'T';
  return iso + "Z";
}

Json CertificateJson(const CertificateInfo& c) {
  // Certificate texts are UTF-8 already (OpenSSL prints them so).
  return {{"subject", c.Subject},
          {"issuer", c.Issuer},
          {"common_name", c.CommonName},
          {"serial", c.Serial},
          {"not_before", CertificateDateJson(c.NotBefore)},
          {"not_after", CertificateDateJson(c.NotAfter)},
          {"signature_algorithm", c.SignatureAlgorithm},
          {"self_signed", c.SelfSigned}};
}

}  // namespace

Json AnalysisHead(const std::string& package) {
  return {{"format", kAnalysisFormat}, {"version", kAnalysisVersion}, {"package", package}};
}

Json SignatureJson(const CabinetSignature& s) {
  Json certificates = Json::array();
  for (const CertificateInfo& c : s.Certificates) certificates.push_back(CertificateJson(c));
  return {{"state", SignatureStateName(s.State)},
          {"problem", s.Problem},
          {"offset", s.Offset},
          {"size", s.Size},
          {"digest_algorithm", s.DigestAlgorithm},
          {"signed_digest", s.SignedDigest},
          {"computed_digest", s.ComputedDigest},
          {"content_matches", Optional(s.ContentMatches)},
          {"message_digest_matches", Optional(s.MessageDigestMatches)},
          {"signature_verifies", Optional(s.SignatureVerifies)},
          {"signer", s.signer() ? CertificateJson(*s.signer()) : Json(nullptr)},
          {"signer_issuer", s.SignerIssuer},
          {"signer_serial", s.SignerSerial},
          {"self_signed", s.SelfSigned},
          {"chain", ChainStateName(s.Chain)},
          {"chain_path", s.ChainPath},
          {"certificates", std::move(certificates)}};
}

Json AnalysisJson(const std::string& package, const PackageSession& session, const OpenResult& result) {
  const OpenFindings& f = session.findings();
  Json j = AnalysisHead(package);
  j["kind"] = f.CabinetMode ? "cabinet" : "setup_file";
  j["outcome"] = OutcomeName(result.Outcome);
  if (!result.Message.empty()) j["message"] = JsonText(result.Message);
  j["cabinet"] = f.CabinetMode ? CabinetJson(f) : Json(nullptr);
  j["signature"] = f.CabinetMode ? SignatureJson(ReadCabinetSignatureFile(session.packagePath())) : Json(nullptr);
  const bool analysed = result.Outcome == OpenOutcome::SetupAnalysed && session.analysis();
  j["setup"] = analysed ? SetupJson(*session.analysis()) : Json(nullptr);
  j["xml"] = nullptr;
  return j;
}

}  // namespace vornix

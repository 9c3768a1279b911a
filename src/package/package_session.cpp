#include "package/package_session.h"

#include <cerrno>
#include <fstream>
#include <functional>

#include "cabfiles/cab_file.h"
#include "common/host_fs.h"
#include "common/interrupt.h"
#include "common/text.h"
#include "package/extraction.h"
#include "package/xml_extraction.h"
#include "presentation/catalogue.h"
#include "presentation/inf_writer.h"
#include "xml/xml_setup.h"

namespace fs = std::filesystem;

namespace vornix {
namespace {

// An extension that reads as an integer: ".000", ".001", ... (not an empty one).
bool HasNumberedExtension(std::string_view name) {
  std::string_view ext = ExtensionOf(name);
  if (ext.size() < 2) return false;
  int64_t value = 0;
  return ParseInt64(ext.substr(1), value);
}

bool StartsWithCabinetSignature(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  char sig[4] = {};
  return in.read(sig, 4) && std::string_view(sig, 4) == "MSCF";
}

}  // namespace

bool IsSetupDescriptionName(std::string_view storedName) { return storedName.find(".000") != std::string_view::npos; }

bool IsXmlDescriptionName(std::string_view storedName) {
  return !HasNumberedExtension(storedName) && LowerCp1252(ExtensionOf(storedName)) == ".xml";
}

std::string PackageSession::xmlShownName() const { return XmlCopyName(m_findings.XmlFileName); }

void PackageSession::PrepareCabinet(const fs::path& package, const StagedEntries& stage) {
  OpenFindings& f = m_findings;
  f = OpenFindings{};
  m_setupBytes.reset();
  m_xmlText.reset();

  if (LowerCp1252(ExtensionOf(package.filename().string())) == ".000") {
    PrepareBareSetup(package);
    return;
  }
  f.CabinetMode = true;
  TCABFile cab;
  cab.CABFile = package;
  cab.OnWarning = [](const std::string&) {};
  // One run lists the cabinet and takes the descriptions out of it.
  bool listed = false;
  cab.OnListed = [&] {
    listed = true;
    RecordListing(cab);
  };
  const Result<void> pass = ExtractDescriptions(cab, stage);
  f.CabTaille = cab.CabTaille();
  f.NbDirs = cab.NbDirs();
  f.NbFiles = cab.NbFiles();
  if (listed) return;
  if (!pass) f.ListingError = pass.message();
  if (f.NbFiles < 0 && StartsWithCabinetSignature(package)) {
    // A cabinet header that cannot be walked: say so instead of "nothing here".
    f.ListingFailed = true;
    f.SetupFileName = Str(MainStr::MsgError);
  }
}

void PackageSession::PrepareBareSetup(const fs::path& package) {
  OpenFindings& f = m_findings;
  f.CabinetMode = false;
  f.SetupFileName = PathText(package.filename());
  std::error_code ec;
  // Larger than a description can be: refused without a copy.
  f.SetupFileSize = fs::file_size(package, ec);
  f.SetupTooLarge = !ec && f.SetupFileSize > kMaxSetupFileSize;
  if (ec) {
    f.ListingError = PathText(package) + " : " + ec.message();
  } else if (!f.SetupTooLarge) {
    errno = 0;
    m_setupBytes = ReadFileBytes(package, kMaxSetupFileSize);
    if (!m_setupBytes) f.ListingError = PathText(package) + " : " + ErrorText(errno ? errno : EIO);
  }
}

void PackageSession::RecordListing(const TCABFile& cab) {
  OpenFindings& f = m_findings;
  for (const TCABFileEntry& e : cab.CABFileContents.items()) {
    if (!HasNumberedExtension(e.Name)) {
      ++f.CabOtherCount;
      f.CabOtherNames.push_back(e.Name);
    }
    f.Listing.push_back(e);
    f.CabTotalSize += e.Size;
    if (IsSetupDescriptionName(e.Name)) {
      f.SetupFileName = e.Name;
      f.SetupFileSize = static_cast<uint32_t>(e.Size);
    }
    if (IsXmlDescriptionName(e.Name)) {
      f.XmlFileName = e.Name;
      f.XmlFileSize = static_cast<uint32_t>(e.Size);
      ++f.XmlEntryCount;
    }
  }
  // The header's sizes are checked before anything is decompressed: a small
  // cabinet can declare a description of gigabytes.
  f.SetupTooLarge = !f.SetupFileName.empty() && f.SetupFileSize > kMaxSetupFileSize;
  f.XmlTooLarge = !f.XmlFileName.empty() && f.XmlFileSize > kMaxXmlFileSize;
  if (f.XmlEntryCount > 1) m_ui.warn(kCaption, "Plusieurs fichiers XML");
}

Result<void> PackageSession::ExtractDescriptions(TCABFile& cab, const StagedEntries& stage) {
  OpenFindings& f = m_findings;
  // One pass that decompresses only the folders holding the descriptions, or,
  // when staging, the entries an extraction will need as well. Entries are
  // staged under their positions in the listing, so any stored name can be;
  // the descriptions are read into memory either way. What the pass wants is
  // known once it has listed the cabinet.
  bool wantSetup = false, wantXml = false;
  const bool staging = !stage.empty();
  std::string setupBytes, xmlText;
  bool setupRouted = false, xmlRouted = false;
  // A description is whole when it holds its listed size: a run that breaks
  // off in an entry leaves that entry empty.
  auto setupRead = [&] { return setupRouted && setupBytes.size() == f.SetupFileSize; };
  auto xmlRead = [&] { return xmlRouted && xmlText.size() == f.XmlFileSize; };
  // The entries the extraction needs (folded names), known once the
  // description is read: CabWiz writes it first, so the entries after it are
  // staged only when a row uses them. A ".000" file decides for a package
  // that carries both.
  std::optional<std::unordered_set<std::string>> needed;
  const std::function<void()> recordListing = std::move(cab.OnListed);
  cab.OnListed = [&] {
    if (recordListing) recordListing();
    wantSetup = !f.SetupFileName.empty() && !f.SetupTooLarge;
    wantXml = !f.XmlFileName.empty() && !f.XmlTooLarge;
    if (staging) f.StagedPositions.assign(f.Listing.size(), false);
    if (!wantSetup && (!wantXml || !f.SetupFileName.empty())) needed.emplace();  // nothing will be extracted
  };
  auto descriptions = [&](const TCABFileEntry& e) -> std::optional<ExtractTarget> {
    ExtractTarget target;
    target.Shown = e.Name;
    if (wantSetup && e.Name == f.SetupFileName) {
      setupRouted = true;
      target.Memory = &setupBytes;
      return target;
    }
    if (wantXml && e.Name == f.XmlFileName) {
      xmlRouted = true;
      target.Memory = &xmlText;
      return target;
    }
    return std::nullopt;
  };
  Result<void> pass = cab.Extract([&](const TCABFileEntry& e) -> std::optional<ExtractTarget> {
    if (auto target = descriptions(e)) return target;
    if (!staging) return std::nullopt;
    if (!needed && (wantSetup ? setupRouted : xmlRouted)) needed = NeededEntries(setupBytes, xmlText);
    if (needed && !needed->count(LowerCp1252(e.Name))) return std::nullopt;
    const auto position = static_cast<size_t>(e.Index);
    if (position >= f.StagedPositions.size()) return std::nullopt;  // not in the listing: never asked for
    f.StagedPositions[position] = true;
    ExtractTarget target(stage.path(position));
    target.Shown = e.Name;
    target.FreshName = true;
    return target;
  });
  if (staging) {
    f.Staged = pass.ok();
    f.StageError = pass.message();
    // Staging broke off (a full disk at the destination) before the
    // descriptions came: they are still read.
    if (!pass && !StopRequested() && ((wantSetup && !setupRead()) || (wantXml && !xmlRead()))) {
      setupRouted = xmlRouted = false;
      cab.OnListed = nullptr;
      pass = cab.Extract(descriptions);
    }
  }
  cab.OnListed = nullptr;
  if (setupRead()) m_setupBytes = std::move(setupBytes);
  if (xmlRead()) m_xmlText = std::move(xmlText);
  // The description could not be decompressed: the same failure as a listing
  // that broke, and the same message.
  if (wantSetup && !m_setupBytes) {
    f.ListingFailed = true;
    f.ListingError = pass.message();
  }
  return pass;
}

std::unordered_set<std::string> PackageSession::NeededEntries(const std::string& setupBytes,
                                                              const std::string& xmlText) const {
  const OpenFindings& f = m_findings;
  std::unordered_set<std::string> names;
  if (!f.SetupFileName.empty()) {
    // A ".000" package: the entries its file records name, and the setup DLL.
    SetupReadInput input;
    input.CabinetMode = true;
    input.CheckSignature = false;
    input.Listing = &f.Listing;
    const Result<TSetupInfo> read = ReadSetupBytes(setupBytes, input);
    if (!read.ok()) return names;
    for (const AListFiles& file : read->Files)
      if (file.Entry) names.insert(LowerCp1252(file.Entry->Name));
    if (read->SetupDll.present()) names.insert(LowerCp1252(read->SetupDll.Name));
    return names;
  }
  const Result<XmlSetupAnalysis> read = ReadXmlSetupText(xmlText, &f.Listing);
  if (!read) return names;
  for (const XmlFile& file : read->Files) names.insert(LowerCp1252(file.CabName));
  return names;
}

OpenResult PackageSession::OpenPackage(const fs::path& package, const OpenOptions& options) {
  m_package = package;
  m_batchExitCode = 0;
  m_duplicatesText.clear();
  m_status[kExitCodePanel].clear();

  PrepareCabinet(package, options.Stage);
  OpenResult result;
  if (!m_findings.SetupFileName.empty()) {
    result = ShowAnalysis(options);
    if (result.Outcome == OpenOutcome::SetupAnalysed && m_findings.DuplicatesFound) {
      m_duplicatesText = Format("Duplicates (%zu) :\r\n", m_findings.DuplicateNames.size());
      for (const auto& name : m_findings.DuplicateNames) m_duplicatesText += "\r\n" + name;
      m_batchExitCode = 222;
      m_status[kExitCodePanel] = "Exit Code : 222";
      if (!options.ManyArgs && options.DuplicatesBox) m_ui.warn("Duplicates", m_duplicatesText);
    }
  } else if (!m_findings.XmlFileName.empty()) {
    m_analysis.reset();
    m_status[kPackagePanel] = PathText(package);
    m_status[kDescriptionPanel] = m_findings.XmlFileName;
    m_status[kCountPanel] = Format(Str(MainStr::FileCount).c_str(), static_cast<int>(m_findings.Listing.size()));
    m_status[kExitCodePanel].clear();
    result.Outcome = OpenOutcome::XmlFound;
  } else {
    result.Outcome = OpenOutcome::NothingFound;
  }
  FillCabInfo();
  return result;
}

OpenResult PackageSession::ShowAnalysis(const OpenOptions& options) {
  const OpenFindings& f = m_findings;
  OpenResult result;
  if (f.SetupTooLarge) {
    result.Outcome = OpenOutcome::SetupRejected;
    result.Message = SetupTooLargeMessage(f.SetupFileName, f.SetupFileSize);
    m_ui.warn(kCaption, result.Message);
    return result;
  }
  SetupReadInput input;
  input.DisplayName = f.SetupFileName;
  input.CabinetMode = f.CabinetMode;
  input.CheckSignature = options.CheckSignature;
  input.Listing = &f.Listing;
  // A cabinet that could not be listed gave no description to read.
  Result<TSetupInfo> read = f.ListingFailed ? MakeError(ErrorCode::ListingFailed, Str(MainStr::MsgExtractFilesError))
                            : m_setupBytes  ? ReadSetupBytes(*m_setupBytes, input)
                                            : Result<TSetupInfo>(SetupCannotOpenError(f.SetupFileName));
  if (!read.ok()) {
    const Error& error = read.error();
    result.Outcome = OpenOutcome::SetupRejected;
    result.Message = error.Message;
    // The catalogue's words alone do not say which file failed or why.
    std::string text = error.Message;
    const bool readFailed = error.Code == ErrorCode::ListingFailed || error.Code == ErrorCode::Truncated ||
                            error.Code == ErrorCode::CannotOpen;
    if (readFailed && !f.ListingError.empty()) text += "\r\n\r\n" + f.ListingError;
    m_ui.warn(kCaption, text);
    if (error.Code == ErrorCode::BadSignature) m_ui.signatureRejected();
    return result;
  }

  SetupAnalysis a;
  a.Info = std::move(read).value();
  a.PackagePath = options.ShownName.empty() ? PathText(m_package) : options.ShownName;
  a.SetupFileName = f.SetupFileName;
  a.SetupFileSize = a.Info.ActualFileSize;
  a.CabinetMode = f.CabinetMode;
  a.CabEntryCount = static_cast<int>(f.Listing.size());
  a.CabOtherCount = f.CabOtherCount;
  a.Lists = BuildAnalysisLists(a.Info, {a.PackagePath, a.SetupFileName, a.SetupFileSize});
  a.InfLines = WriteInf(a.Info);

  m_findings.DuplicatesFound = a.Info.HasDuplicates;
  m_findings.DuplicateNames = a.Info.Duplicates;
  m_status[kPackagePanel] = a.PackagePath;
  m_status[kDescriptionPanel] = f.SetupFileName;
  if (f.CabinetMode) {
    m_status[kCountPanel] = Format(Str(MainStr::FileCount).c_str(), a.CabEntryCount - 1);
    if (f.CabOtherCount > 0) m_status[kCountPanel] += Format(Str(MainStr::IncludingXml).c_str(), f.CabOtherCount);
  } else {
    m_status[kCountPanel].clear();
  }
  m_analysis = std::move(a);
  result.Outcome = OpenOutcome::SetupAnalysed;
  return result;
}

void PackageSession::FillCabInfo() {
  const OpenFindings& f = m_findings;
  m_cabInfo = CabInfoLine{};
  if (f.CabTaille == -1) return;
  m_cabInfo.Visible = true;
  m_cabInfo.CompressionLabel = f.CabTaille < f.CabTotalSize ? "Compressed" : "Not Compressed";
  const std::string format = "CAB " + Str(MainStr::ColSizeBytes) + " : " + Str(MainStr::LblBytes) + ", CAB " +
                             Str(MainStr::TabDirectories) + " : %d, " + Str(MainStr::TabFiles) + " : %d (" +
                             Str(MainStr::ColSizeBytes) + " : " + Str(MainStr::LblBytes) + ")";
  m_cabInfo.Details = Format(format.c_str(), f.CabTaille, f.NbDirs, f.NbFiles, f.CabTotalSize);
}

namespace {

class SilentUi : public UserInterface {
 public:
  void warn(const std::string&, const std::string&) override {}
};

}  // namespace

std::string ApplicationNameOf(const fs::path& package) {
  SilentUi ui;
  PackageSession session(ui);
  OpenOptions options;
  options.CheckSignature = false;
  options.ManyArgs = true;
  std::string name;
  switch (session.OpenPackage(package, options).Outcome) {
    case OpenOutcome::SetupAnalysed: name = session.analysis()->Info.AppName; break;
    case OpenOutcome::XmlFound: {
      const Result<XmlSetupAnalysis> xml = ReadPackageXml(session);
      if (!xml) return "setup description rejected";
      name = xml->AppName;
      break;
    }
    case OpenOutcome::SetupRejected: return "setup description rejected";
    case OpenOutcome::NothingFound: return "no setup description";
  }
  return name.empty() ? "no application name" : Cp1252ToUtf8(name);
}

}  // namespace vornix

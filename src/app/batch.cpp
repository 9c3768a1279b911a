#include "app/batch.h"

#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <iostream>
#include <set>

#include "app/batch_cabinets.h"
#include "app/batch_output.h"
#include "app/batch_reg.h"
#include "app/batch_ui.h"
#include "app/catalog.h"
#include "app/json_output.h"
#include "app/json_program.h"
#include "cabfiles/cab_file.h"
#include "common/host_fs.h"
#include "common/interrupt.h"
#include "common/parallel.h"
#include "common/text.h"
#include "package/extraction.h"
#include "package/package_session.h"
#include "package/temp_folders.h"
#include "presentation/inf_writer.h"
#include "presentation/reg_export.h"
#include "presentation/xml_texts.h"
// XML setup descriptions and themes
#include "app/json_theme.h"
#include "app/json_xml.h"
#include "package/xml_extraction.h"
#include "theme/theme.h"

namespace fs = std::filesystem;

namespace vornix {
namespace {

bool IsPackageName(const std::string& path) {
  const std::string ext = LowerCp1252(ExtensionOf(fs::path(path).filename().string()));
  return ext == ".cab" || ext == ".tsk" || ext == ".000";
}

int UsageError(const std::string& message) {
  std::cerr << "vornix: " << message << "\n"
            << "usage: vornix PACKAGE [inf | extract [FOLDER]]   (vornix --help for more)" << std::endl;
  return kExitUsage;
}

// A JSON document on stdout: indented, or on one line when several packages
// print one each. Text that is no UTF-8 (a host file name) is replaced rather
// than ending the program.
void PrintJson(Json&& j) {
  for (const char* key : {"package", "error"})
    if (const auto it = j.find(key); it != j.end() && it->is_string()) *it = ShownName(it->get<std::string>());
  std::cout << j.dump(CurrentRun().JsonLines ? -1 : 2, ' ', false, Json::error_handler_t::replace) << std::endl;
  CurrentRun().JsonPrinted = true;
}

// The document of a package that could not be opened at all.
void PrintJsonError(Json&& head, const std::string& package) {
  const std::string& error = CurrentRun().LastError;
  head["error"] = error.empty() ? package + " : cannot be read" : error;
  PrintJson(std::move(head));
}

// What every batch job needs: a package that exists and an opened session.
// Returns an exit code when it cannot go on.
struct OpenedPackage {
  BatchUi ui;
  std::optional<PackageSession> session;
  OpenResult result;
};

int CheckPackage(const std::string& package) {
  if (!IsPackageName(package)) return Fail(package + " : not a Windows CE package (.cab, .tsk or .000 expected)");
  std::error_code ec;
  if (!fs::is_regular_file(package, ec)) return Fail(package + " : no such file");
  return kExitDone;
}

int PrepareForBatch(const std::string& package, OpenedPackage& out) {
  if (int code = CheckPackage(package)) return code;
  out.session.emplace(out.ui);
  return kExitDone;
}

void OpenPrepared(const std::string& package, OpenedPackage& out, const StagedEntries& stage = {}) {
  // A file named on the command line is read with the signature check off,
  // as the window does for files that arrive that way.
  OpenOptions options;
  options.CheckSignature = false;
  options.ManyArgs = true;
  options.Stage = stage;
  out.result = out.session->OpenPackage(package, options);
}

int OpenForBatch(const std::string& package, OpenedPackage& out) {
  if (int code = PrepareForBatch(package, out)) return code;
  OpenPrepared(package, out);
  return kExitDone;
}

// The reason an opening produced no analysis, for stderr (the rejection
// message itself was already printed by the session's warn()).
int NoAnalysis(const std::string& package, const OpenedPackage& opened) {
  switch (opened.result.Outcome) {
    case OpenOutcome::SetupRejected: return kExitFailed;
    default: return Fail(package + " : no setup description found (not a Windows CE package)");
  }
}

int FinishedCode(const PackageSession& session) {
  if (session.BatchExitCode() == kExitDuplicates) {
    Say(Cp1252ToUtf8(ReplaceAll(session.duplicatesText(), "\r\n", "\n")));
    return kExitDuplicates;
  }
  return kExitDone;
}

// ---- Packages described by "_setup.xml", and themes ------------------------

// The session's XML description, with its warnings on stderr; nullopt (and
// the parser's message) when it cannot be read.
std::optional<XmlSetupAnalysis> ReadXmlForBatch(const std::string& package, const PackageSession& session) {
  Result<XmlSetupAnalysis> read = ReadPackageXml(session);
  if (!read) {
    Fail(package + " : " + Cp1252ToUtf8(read.error().Message));
    return std::nullopt;
  }
  for (const std::string& w : read->Warnings) Say("warning: " + Cp1252ToUtf8(w));
  return std::move(read).value();
}

// The INF beside the package, through a temporary file: a failure leaves an
// earlier INF whole and is never reported as success.
int WriteInfBeside(const std::string& package, const std::vector<std::string>& lines) {
  const fs::path target = fs::path(package).replace_extension(".inf");
  std::string error;
  if (!WriteFileBytes(target, InfFileText(lines), &error))
    return Fail(target.string() + " : cannot be written (" + error + ")");
  return kExitDone;
}

// An extraction that could not write everything ends with 1: what it says
// went wrong is already on stderr, and the files written before stay.
int ExtractionCode(const ExtractReport& report, const PackageSession& session) {
  if (!report.complete()) return kExitFailed;
  return FinishedCode(session);
}

int RunXmlInf(const std::string& package, const PackageSession& session) {
  const auto analysis = ReadXmlForBatch(package, session);
  if (!analysis) return kExitFailed;
  return WriteInfBeside(package, XmlInfLines(*analysis));
}

// The INF and the copy of "_setup.xml" are written through a temporary file
// renamed over their names: one of them was written when its name holds
// another file than before.
struct FileStamp {
  bool Exists = false;
  dev_t Device = 0;
  ino_t Inode = 0;
};

FileStamp StampOf(const fs::path& file) {
  struct stat info {};
  if (!CurrentRun().Verbose || lstat(file.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return {};
  return {true, info.st_dev, info.st_ino};
}

void ListIfWritten(const fs::path& file, const FileStamp& before) {
  const FileStamp after = StampOf(file);
  if (after.Exists && (!before.Exists || after.Device != before.Device || after.Inode != before.Inode))
    ListWritten(file);
}

// The extraction for the batch: the files (listed by the UI as they are
// placed), then the INF, listed once written.
ExtractReport ExtractForBatch(ExtractRequest& request, const PackageSession& session, const StagedEntries& stage,
                              bool folderIsNew, UserInterface& ui) {
  request.FolderIsNew = folderIsNew;
  if (!stage.empty() && session.findings().Staged) {
    request.Staged = stage;
    request.StagedListing = session.findings().Listing;
    request.StagedPositions = session.findings().StagedPositions;
  }
  const fs::path inf = request.Folder / InfFileNameIn(request.InfFileName);
  const FileStamp before = StampOf(inf);
  ExtractReport report = ExtractUnderOriginalNames(request, ui);
  ListIfWritten(inf, before);
  return report;
}

int RunXmlExtract(const std::string& package, const PackageSession& session, const fs::path& folder,
                  const StagedEntries& stage, bool folderIsNew, UserInterface& ui) {
  const auto analysis = ReadXmlForBatch(package, session);
  if (!analysis) return kExitFailed;
  ExtractRequest request = MakeXmlExtractRequest(*analysis, package, folder, true);
  ExtractReport report = ExtractForBatch(request, session, stage, folderIsNew, ui);
  if (!StopRequested()) {
    const fs::path copy = folder / XmlCopyName(session.findings().XmlFileName);
    const FileStamp before = StampOf(copy);
    CopyXmlBeside(*session.xmlText(), session.findings().XmlFileName, folder, report, ui);
    ListIfWritten(copy, before);
  }
  return report.complete() ? kExitDone : kExitFailed;
}

// --theme-json prints the theme record; --theme-convert the description in
// the other format. Neither writes anything.
int RunTheme(const std::string& option, const std::string& package) {
  if (int code = CheckPackage(package)) return code;
  Result<TempFolders> folders = TempFolders::Prepare();
  if (!folders) return Fail(folders.error().Message);
  const Result<ThemeAnalysis> theme = AnalyseTheme(package, folders->ViewDir());
  const std::string failure =
      theme ? std::string() : package + " : " + Cp1252ToUtf8(theme.message().empty() ? "not a theme" : theme.message());
  if (option == "--theme-json") {
    if (!theme) {
      PrintJson(ThemeJson(package, UnreadTheme(package), &theme.error()));
      return Fail(failure);
    }
    for (const std::string& w : theme->Warnings) Say("warning: " + Cp1252ToUtf8(w));
    PrintJson(ThemeJson(package, *theme));
    return kExitDone;
  }
  if (!theme) return Fail(failure);
  for (const std::string& w : theme->Warnings) Say("warning: " + Cp1252ToUtf8(w));
  for (const std::string& line : ThemeConversion(*theme)) std::cout << Cp1252ToUtf8(line) << '\n';
  std::cout.flush();
  return kExitDone;
}

// ---- end of "_setup.xml" packages and themes --------------------------------

int RunInf(const std::string& package) {
  OpenedPackage opened;
  if (int code = OpenForBatch(package, opened)) return code;
  PackageSession& session = *opened.session;
  if (opened.result.Outcome == OpenOutcome::XmlFound) return RunXmlInf(package, session);
  if (opened.result.Outcome != OpenOutcome::SetupAnalysed) return NoAnalysis(package, opened);
  if (int code = WriteInfBeside(package, session.analysis()->InfLines)) return code;
  return FinishedCode(session);
}

// The opening is the one `inf` uses; the exit code stays 0 when a file name
// repeats, since the registry values are all written whatever the files do.
int RunReg(const std::string& package, bool regedit4) {
  const RegFileFormat format = regedit4 ? RegFileFormat::Regedit4 : RegFileFormat::Version5;
  OpenedPackage opened;
  if (int code = OpenForBatch(package, opened)) return code;
  const PackageSession& session = *opened.session;
  if (opened.result.Outcome == OpenOutcome::XmlFound) {
    const auto analysis = ReadXmlForBatch(package, session);
    if (!analysis) return kExitFailed;
    return WriteRegBeside(package, analysis->AppName, RegFileBytes(*analysis, format));
  }
  if (opened.result.Outcome != OpenOutcome::SetupAnalysed) return NoAnalysis(package, opened);
  const TSetupInfo& info = session.analysis()->Info;
  return WriteRegBeside(package, info.AppName, RegFileBytes(info, format));
}

// The listed size of every entry of a cabinet, by position, for the progress
// line, and the positions of its descriptions; empty when no line is shown or
// the file is no cabinet.
std::vector<int64_t> EntrySizes(const std::string& package, std::vector<size_t>& descriptions) {
  std::vector<int64_t> sizes;
  if (CurrentRun().Quiet || !isatty(STDERR_FILENO)) return sizes;
  TCABFile lister;
  lister.CABFile = package;
  if (!lister.ListContents()) return sizes;  // no line then: the extraction reports why
  for (const TCABFileEntry& e : lister.CABFileContents.items()) {
    if (e.Index < 0) continue;
    const auto index = static_cast<size_t>(e.Index);
    if (sizes.size() <= index) sizes.resize(index + 1);
    sizes[index] = e.Size;
    if (IsSetupDescriptionName(e.Name) || IsXmlDescriptionName(e.Name)) descriptions.push_back(index);
  }
  return sizes;
}

int RunExtract(const std::string& package, const std::vector<std::string>& args) {
  if (int code = CheckPackage(package)) return code;
  std::error_code ec;
  // Hosts without drive letters have no "c:\"; the default sits in the current directory.
  const fs::path folder = fs::absolute(args.size() >= 3 ? fs::path(args[2]) : fs::path("ExtractDir"), ec);
  const bool existed = fs::is_directory(folder, ec);
  fs::create_directories(folder, ec);
  if (!fs::is_directory(folder, ec)) return Fail(folder.string() + " : folder cannot be created");

  BatchRun& run = CurrentRun();
  const fs::path listRoot = run.ListRoot;
  if (listRoot.empty()) run.ListRoot = folder;
  int code = kExitDone;
  {
    StagingArea staging(folder);
    const StagedEntries& stage = staging.entries();
    OpenedPackage opened;
    code = PrepareForBatch(package, opened);
    std::optional<ProgressLine> progress;
    if (code == kExitDone) {
      std::vector<size_t> descriptions;
      if (!stage.empty()) progress.emplace(stage, EntrySizes(package, descriptions), descriptions);
      OpenPrepared(package, opened, stage);
      if (progress) progress->observeNow();
    }
    if (code != kExitDone) {
    } else if (opened.result.Outcome == OpenOutcome::XmlFound) {
      code = RunXmlExtract(package, *opened.session, folder, stage, !existed, opened.ui);
    } else if (opened.result.Outcome != OpenOutcome::SetupAnalysed) {
      code = NoAnalysis(package, opened);
    } else if (!opened.session->findings().CabinetMode) {
      code = Fail(package + " : a bare setup description holds no files to extract (use 'inf')");
    } else {
      const PackageSession& session = *opened.session;
      const SetupAnalysis& analysis = *session.analysis();
      ExtractRequest request = MakeExtractRequest(analysis, package, folder, true, analysis.Lists.Files);
      const ExtractReport report = ExtractForBatch(request, session, stage, !existed, opened.ui);
      code = ExtractionCode(report, session);
    }
  }
  run.ListRoot = listRoot;
  // Nothing was produced in a folder this run made: do not leave it behind.
  if (code == kExitFailed && !existed) fs::remove(folder, ec);
  return code;
}

int RunJson(const std::string& package) {
  OpenedPackage opened;
  // The program files whose facts are read are taken out into a private folder.
  Result<TempFolders> folders = TempFolders::Prepare();
  if (int code = folders ? OpenForBatch(package, opened) : Fail(folders.error().Message)) {
    PrintJsonError(AnalysisHead(package), package);
    return code;
  }
  Json j = AnalysisJson(package, *opened.session, opened.result);
  // A cabinet with "_setup.xml" gets the XML analysis too, also beside a ".000" one.
  bool xmlRead = false;
  std::optional<Result<XmlSetupAnalysis>> xml;
  std::string xmlError;
  if (!opened.session->findings().XmlFileName.empty()) {
    xml.emplace(ReadPackageXml(*opened.session));
    xmlRead = xml->ok();
    xmlError = xml->message();
    j["xml"] = XmlJson(opened.session->findings().XmlFileName, *xml);
  }
  AddProgramFacts(j, *opened.session, xmlRead ? &xml->value() : nullptr, folders->root() / "VornixFacts");
  // Why there is no analysis: on stderr for a person, and in the document too.
  const OpenOutcome outcome = opened.result.Outcome;
  std::string error;
  if (outcome == OpenOutcome::XmlFound && !xmlRead)
    error = package + " : " + Cp1252ToUtf8(xmlError);
  else if (outcome == OpenOutcome::SetupRejected && !opened.result.Message.empty())
    error = Cp1252ToUtf8(opened.result.Message);
  else if (outcome == OpenOutcome::SetupRejected)
    error = package + " : setup description rejected";
  else if (outcome == OpenOutcome::NothingFound)
    error = package + " : no setup description found (not a Windows CE package)";
  int code = kExitDone;
  if (!error.empty())
    code = kExitFailed;
  else if (outcome == OpenOutcome::SetupAnalysed)
    code = opened.session->BatchExitCode();
  j["exit_code"] = code;
  if (!error.empty()) j["error"] = error;
  // Written as it is made: the text of a large analysis is never held twice.
  PrintJson(std::move(j));
  j = nullptr;
  if (outcome == OpenOutcome::SetupAnalysed) return FinishedCode(*opened.session);
  if (outcome == OpenOutcome::XmlFound && xmlRead) return kExitDone;
  // A rejection was said by the opening already.
  if (outcome == OpenOutcome::SetupRejected) {
    CurrentRun().LastError = error;
    return kExitFailed;
  }
  return Fail(error);
}

}  // namespace

std::string UsageText() {
  return "Vornix " VORNIX_VERSION
         " - takes apart Windows CE and Pocket PC packages\n"
         "\n"
         "usage:\n"
         "  vornix [PACKAGE]                 open the window (with the package, if given)\n"
         "  vornix PACKAGE inf               write the rebuilt INF beside PACKAGE (PACKAGE.inf)\n"
         "  vornix PACKAGE extract [FOLDER]  extract the files under their original names into\n"
         "                                   FOLDER (default: ./ExtractDir), in subfolders named\n"
         "                                   after their device folders, with the setup DLL and INF\n"
         "  vornix PACKAGE verify            check the cabinet's signature: who signed it, and\n"
         "                                   whether it is intact\n"
         "  vornix PACKAGE reg [--regedit4]  write the package's registry values beside it as\n"
         "                                   AppName.reg, for the registry editor to import\n"
         "                                   (\"Windows Registry Editor Version 5.00\", UTF-16;\n"
         "                                   --regedit4: the older 8-bit REGEDIT4 form)\n"
         "  vornix PACKAGE... inf            write the INF of each package beside it\n"
         "  vornix PACKAGE... extract [FOLDER]\n"
         "                                   extract each package into a subfolder of FOLDER named\n"
         "                                   after its file name without the extension (a.cab into\n"
         "                                   FOLDER/a; a-2, a-3... for names that repeat), side by\n"
         "                                   side on the machine's cores\n"
         "  vornix --json PACKAGE...         print the whole analysis as JSON; for two packages or\n"
         "                                   more, one document a line (JSON Lines), with an\n"
         "                                   \"error\" field for a package that fails\n"
         "  vornix --theme-json PACKAGE.tsk  print the theme record as JSON\n"
         "  vornix --theme-convert PACKAGE.tsk  print the theme's description in the other\n"
         "                                   format (_setup.xml for a .000 theme, INF for an XML one)\n"
         "  vornix --scan FILE               list the complete cabinets inside FILE (an installer,\n"
         "                                   any file): offset, size, application name\n"
         "  vornix --catalog DIR [--jobs N] [--csv]\n"
         "                                   one JSON line (--csv: a table) for every package in\n"
         "                                   the tree below DIR, installers' cabinets included,\n"
         "                                   sorted by path; N workers (default: one per core);\n"
         "                                   nothing is extracted\n"
         "  vornix --help | -h | --version\n"
         "\n"
         "before everything else:\n"
         "  --quiet                          no progress line (on a terminal, extract shows the\n"
         "                                   files and bytes done on stderr)\n"
         "  --verbose                        extract lists each file it writes on stdout, as its\n"
         "                                   path under FOLDER\n"
         "\n"
         "PACKAGE is a .cab or .tsk cabinet or a bare .000 setup description, or FILE#N,\n"
         "the Nth cabinet that vornix --scan lists in FILE.\n"
         "The words inf, extract, verify and reg are accepted in any letter case; the first of\n"
         "them ends the list of packages.\n"
         "\n"
         "exit codes: 0 done; 222 done and an installed file name repeats;\n"
         "            1 something could not be read or written (reason on stderr); 2 usage error\n"
         "several:    a package that fails is reported and the others go on; the exit code\n"
         "            is the worst of theirs: 1, then 222, then 0\n"
         "verify:     0 signed and intact; 3 not signed; 4 the signature does not match;\n"
         "            1 the signature cannot be read or checked\n";
}

bool IsBatchCommandLine(const std::vector<std::string>& args) {
  if (args.empty()) return false;
  if (args[0].size() > 1 && args[0][0] == '-') return true;
  return args.size() >= 2;
}

namespace {

volatile sig_atomic_t g_signal = 0;

void OnStopSignal(int number) {
  g_signal = number;
  RequestStop();
}

// SIGINT and SIGTERM end a job the way a failure does, so its staging and
// temporary folders are removed on the way out; the signal is raised again
// afterwards, so whoever waits sees how the job ended. So does SIGPIPE: the
// reader of --json or of the --verbose listing went away (`| head`).
class StopSignals {
 public:
  StopSignals() {
    struct sigaction action {};
    action.sa_handler = &OnStopSignal;
    sigemptyset(&action.sa_mask);
    for (int s : {SIGINT, SIGTERM, SIGPIPE}) sigaction(s, &action, nullptr);
  }
  ~StopSignals() {
    for (int s : {SIGINT, SIGTERM, SIGPIPE}) signal(s, SIG_DFL);
  }
};

int RunCommandLine(std::vector<std::string> args);

}  // namespace

int RunBatch(const std::vector<std::string>& args) {
  int code = kExitFailed;
  {
    StopSignals signals;
    code = RunCommandLine(args);
  }
  if (StopRequested()) raise(g_signal ? g_signal : SIGTERM);
  return code;
}

int RunPackageJob(const std::vector<std::string>& args) {
  const std::string& first = args.at(0);
  if (first == "--help" || first == "-h") {
    std::cout << UsageText();
    return kExitDone;
  }
  if (first == "--version") {
    std::cout << "vornix " VORNIX_VERSION << std::endl;
    return kExitDone;
  }
  if (first == "--scan") {
    if (args.size() != 2) return UsageError("--scan takes one FILE");
    return RunScan(args[1]);
  }
  if (first == "--catalog") return RunCatalog({args.begin() + 1, args.end()});
  // A cabinet inside another file ("setup.exe#2"), for every job that takes a package.
  if (const size_t at = first[0] == '-' ? 1 : 0; args.size() > at && IsEmbeddedArgument(args[at]))
    return RunEmbedded(args, at);
  if (first == "--json") {
    if (args.size() != 2) return UsageError("--json takes one PACKAGE or more");
    return RunJson(args[1]);
  }
  if (first == "--theme-json" || first == "--theme-convert") {
    if (args.size() != 2) return UsageError(first + " takes one PACKAGE");
    const int code = RunTheme(first, args[1]);
    // A package that could not be opened gets its document too.
    if (first == "--theme-json" && !CurrentRun().JsonPrinted)
      PrintJsonError({{"format", kThemeFormat}, {"version", kThemeVersion}, {"package", args[1]}}, args[1]);
    return code;
  }
  if (first[0] == '-') return UsageError("unknown option " + first);

  const std::string word = LowerCp1252(args.at(1));
  if (word == "inf") return RunInf(first);
  if (word == "extract") return RunExtract(first, args);
  if (word == "verify") return RunVerify(first);
  if (word == "reg") {
    if (args.size() > 3 || (args.size() == 3 && args[2] != "--regedit4"))
      return UsageError("reg takes only --regedit4");
    return RunReg(first, args.size() == 3);
  }
  return UsageError("unknown word '" + args[1] + "' (inf, extract, verify or reg expected)");
}

namespace {

bool IsWord(const std::string& arg) {
  const std::string word = LowerCp1252(arg);
  return word == "inf" || word == "extract" || word == "verify" || word == "reg";
}

// Several packages: 1 (something failed) outweighs 222 (done, with a name
// that repeats), which outweighs 0.
int Worse(int a, int b) {
  auto weight = [](int code) { return code == kExitDone ? 0 : code == kExitDuplicates ? 1 : 2; };
  return weight(b) > weight(a) ? b : a;
}

// Runs `job` for each package; a failure is reported by the job and the
// next package goes on. `atOnce`: packages are worked on side by side, one a
// core, and what each says still comes out in their order. A stop signal
// ends the run after the packages begun.
int ForEachPackage(const std::vector<std::string>& packages, const std::function<int(size_t)>& job,
                   bool atOnce = false) {
  const BatchRun settings = CurrentRun();
  std::vector<int> codes(packages.size(), kExitDone);
  {
    OrderedOutput output(packages.size());
    ForEachIndex(
        packages.size(), atOnce ? UsefulWorkers(packages.size()) : 1,
        [&](size_t i) {
          BatchRun& run = CurrentRun();
          run = settings;
          run.Package = packages[i];
          run.Counter = Format("%zu/%zu", i + 1, packages.size());
          run.LastError.clear();
          run.JsonPrinted = false;
          OrderedOutput::Job turn(i);
          codes[i] = job(i);
        },
        [] { return !StopRequested(); });
  }
  CurrentRun() = settings;
  int worst = kExitDone;
  for (int code : codes) worst = Worse(worst, code);
  return worst;
}

// Each package's subfolder: its file name without the extension ("setup#2"
// for the second cabinet in setup.exe), with "-2", "-3"... after a name that
// an earlier package of the run took, in any letter case.
std::vector<std::string> SubfolderNames(const std::vector<std::string>& packages) {
  std::set<std::string> taken;
  std::vector<std::string> names;
  for (const std::string& package : packages) {
    std::string base = fs::path(package).stem().string();
    if (const size_t hash = package.rfind('#'); IsEmbeddedArgument(package))
      base = fs::path(package.substr(0, hash)).stem().string() + package.substr(hash);
    if (base.empty() || base == "." || base == "..") base = "package";
    std::string name = base;
    for (int n = 2; taken.count(LowerCp1252(name)); ++n) name = base + "-" + std::to_string(n);
    taken.insert(LowerCp1252(name));
    names.push_back(name);
  }
  return names;
}

// `vornix P1 P2 ... inf` and `vornix P1 P2 ... extract [FOLDER]`.
int RunEach(const std::vector<std::string>& args, size_t wordAt) {
  const std::string& word = args[wordAt];
  if (LowerCp1252(word) == "verify") return UsageError("verify takes one PACKAGE");
  const std::vector<std::string> packages(args.begin(), args.begin() + static_cast<ptrdiff_t>(wordAt));
  // Options come first; among the packages one would be taken for a job of its own.
  for (const std::string& package : packages)
    if (package.size() > 1 && package[0] == '-') return UsageError("unknown option " + package);
  if (LowerCp1252(word) == "inf" || LowerCp1252(word) == "reg") {
    std::vector<std::string> rest(args.begin() + static_cast<ptrdiff_t>(wordAt), args.end());
    return ForEachPackage(packages, [&](size_t i) {
      rest.insert(rest.begin(), packages[i]);
      const int code = RunPackageJob(rest);
      rest.erase(rest.begin());
      return code;
    });
  }

  std::error_code ec;
  const fs::path named = wordAt + 1 < args.size() ? fs::path(args[wordAt + 1]) : fs::path("ExtractDir");
  const fs::path folder = fs::absolute(named, ec);
  const bool existed = fs::is_directory(folder, ec);
  const std::vector<std::string> names = SubfolderNames(packages);
  // Each package has a subfolder of its own: they can be extracted side by side.
  const int code = ForEachPackage(
      packages,
      [&](size_t i) {
        CurrentRun().ListRoot = folder;
        return RunPackageJob({packages[i], word, (folder / names[i]).string()});
      },
      true);
  // A folder this run made and nothing went into: do not leave it behind.
  if (!existed) fs::remove(folder, ec);
  return code;
}

// `vornix --json P`: one document, also for a package that could not be
// opened (a cabinet inside another file fails before the job runs).
int RunJsonDocument(const std::string& package) {
  const int code = RunPackageJob({"--json", package});
  if (!CurrentRun().JsonPrinted) PrintJsonError(AnalysisHead(package), package);
  return code;
}

// `vornix --json P1 P2 ...`: a line for each package.
int RunJsonLines(const std::vector<std::string>& args) {
  const std::vector<std::string> packages(args.begin() + 1, args.end());
  CurrentRun().JsonLines = true;
  return ForEachPackage(packages, [&](size_t i) { return RunJsonDocument(packages[i]); });
}

int RunCommandLine(std::vector<std::string> args) {
  BatchRun& run = CurrentRun();
  size_t flags = 0;
  for (; flags < args.size() && (args[flags] == "--quiet" || args[flags] == "--verbose"); ++flags)
    (args[flags] == "--quiet" ? run.Quiet : run.Verbose) = true;
  args.erase(args.begin(), args.begin() + static_cast<ptrdiff_t>(flags));
  if (flags > 0 && !IsBatchCommandLine(args)) return UsageError("--quiet and --verbose go before a job");
  const std::string& first = args[0];
  if (first == "--json" && args.size() > 2) return RunJsonLines(args);
  if (first == "--json" && args.size() == 2) return RunJsonDocument(args[1]);
  if (first[0] != '-') {
    const auto word = std::find_if(args.begin() + 1, args.end(), IsWord);
    if (word != args.end() && word - args.begin() >= 2) return RunEach(args, static_cast<size_t>(word - args.begin()));
  }
  run.Package = first[0] == '-' && args.size() > 1 ? args[1] : first;
  return RunPackageJob(args);
}

}  // namespace

}  // namespace vornix

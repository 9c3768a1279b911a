#include "app/batch.h"

#include <signal.h>
#include <stdlib.h>

#include <filesystem>
#include <iomanip>
#include <iostream>

#include "app/batch_cabinets.h"
#include "app/batch_ui.h"
#include "app/json_output.h"
#include "app/json_program.h"
#include "common/host_fs.h"
#include "common/interrupt.h"
#include "common/text.h"
#include "package/extraction.h"
#include "package/package_session.h"
#include "presentation/inf_writer.h"
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

int Fail(const std::string& message) {
  std::cerr << "vornix: " << message << std::endl;
  return kExitFailed;
}

int UsageError(const std::string& message) {
  std::cerr << "vornix: " << message << "\n"
            << "usage: vornix PACKAGE [inf | extract [FOLDER]]   (vornix --help for more)" << std::endl;
  return kExitUsage;
}

// What every batch job needs: a package that exists, private temp folders and
// an opened session. Returns an exit code when it cannot go on.
struct OpenedPackage {
  BatchUi ui;
  std::optional<TempFolders> folders;
  std::optional<PackageSession> session;
  OpenResult result;
};

int CheckPackage(const std::string& package) {
  if (!IsPackageName(package)) return Fail(package + " : not a Windows CE package (.cab, .tsk or .000 expected)");
  std::error_code ec;
  if (!fs::is_regular_file(package, ec)) return Fail(package + " : no such file");
  return kExitDone;
}

int OpenForBatch(const std::string& package, OpenedPackage& out, const fs::path& stageFolder = {}) {
  if (int code = CheckPackage(package)) return code;
  std::string error;
  out.folders = TempFolders::Prepare(&error);
  if (!out.folders) return Fail(error);
  out.session.emplace(*out.folders, out.ui);
  // A file named on the command line is read with the signature check off,
  // as the window does for files that arrive that way.
  OpenOptions options;
  options.CheckSignature = false;
  options.ManyArgs = true;
  options.StageFolder = stageFolder;
  out.result = out.session->OpenPackage(package, options);
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
    std::cerr << "vornix: " << Cp1252ToUtf8(ReplaceAll(session.duplicatesText(), "\r\n", "\n")) << std::endl;
    return kExitDuplicates;
  }
  return kExitDone;
}

// ---- Packages described by "_setup.xml", and themes ------------------------

// The session's XML description, with its warnings on stderr; nullopt (and
// the parser's message) when it cannot be read.
std::optional<XmlSetupAnalysis> ReadXmlForBatch(const std::string& package, const PackageSession& session) {
  XmlReadResult read = ReadPackageXml(session);
  if (!read.ok()) {
    Fail(package + " : " + Cp1252ToUtf8(read.Message));
    return std::nullopt;
  }
  for (const std::string& w : read.Analysis->Warnings) std::cerr << "vornix: warning: " << Cp1252ToUtf8(w) << std::endl;
  return std::move(read.Analysis);
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
  return WriteInfBeside(package, analysis->InfLines);
}

int RunXmlExtract(const std::string& package, const PackageSession& session, const fs::path& folder,
                  const fs::path& stage, UserInterface& ui) {
  const auto analysis = ReadXmlForBatch(package, session);
  if (!analysis) return kExitFailed;
  ExtractRequest request = MakeXmlExtractRequest(*analysis, package, folder, true);
  if (!stage.empty() && session.findings().Staged) {
    request.Staged = stage;
    request.StagedListing = session.findings().Listing;
  }
  ExtractReport report = ExtractUnderOriginalNames(request, ui);
  if (!StopRequested()) CopyXmlBeside(session.xmlPath(), session.findings().XmlFileName, folder, report, ui);
  return report.complete() ? kExitDone : kExitFailed;
}

// --theme-json prints the theme record; --theme-convert the description in
// the other format. Neither writes anything.
int RunTheme(const std::string& option, const std::string& package) {
  if (int code = CheckPackage(package)) return code;
  std::string error;
  std::optional<TempFolders> folders = TempFolders::Prepare(&error);
  if (!folders) return Fail(error);
  const ThemeAnalysis theme = AnalyseTheme(package, folders->ViewDir());
  for (const std::string& w : theme.Warnings) std::cerr << "vornix: warning: " << Cp1252ToUtf8(w) << std::endl;
  if (option == "--theme-json") {
    std::cout << std::setw(2) << ThemeJson(theme) << std::endl;
    if (!theme.Found) return Fail(package + " : " + Cp1252ToUtf8(theme.Error.empty() ? "not a theme" : theme.Error));
    return kExitDone;
  }
  if (!theme.Found) return Fail(package + " : " + Cp1252ToUtf8(theme.Error.empty() ? "not a theme" : theme.Error));
  for (const std::string& line : ThemeConversion(theme)) std::cout << Cp1252ToUtf8(line) << '\n';
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

int RunExtract(const std::string& package, const std::vector<std::string>& args) {
  if (int code = CheckPackage(package)) return code;
  std::error_code ec;
  // Hosts without drive letters have no "c:\"; the default sits in the current directory.
  const fs::path folder = fs::absolute(args.size() >= 3 ? fs::path(args[2]) : fs::path("ExtractDir"), ec);
  const bool existed = fs::is_directory(folder, ec);
  fs::create_directories(folder, ec);
  if (!fs::is_directory(folder, ec)) return Fail(folder.string() + " : folder cannot be created");

  int code = kExitDone;
  {
    StagingFolder stage(folder);
    OpenedPackage opened;
    code = OpenForBatch(package, opened, stage.path());
    if (code != kExitDone) {
    } else if (opened.result.Outcome == OpenOutcome::XmlFound) {
      code = RunXmlExtract(package, *opened.session, folder, stage.path(), opened.ui);
    } else if (opened.result.Outcome != OpenOutcome::SetupAnalysed) {
      code = NoAnalysis(package, opened);
    } else if (!opened.session->findings().CabinetMode) {
      code = Fail(package + " : a bare setup description holds no files to extract (use 'inf')");
    } else {
      const PackageSession& session = *opened.session;
      const SetupAnalysis& analysis = *session.analysis();
      ExtractRequest request = MakeExtractRequest(analysis, package, folder, true, analysis.Lists.Files);
      if (!stage.path().empty() && session.findings().Staged) {
        request.Staged = stage.path();
        request.StagedListing = session.findings().Listing;
      }
      code = ExtractionCode(ExtractUnderOriginalNames(request, opened.ui), session);
    }
  }
  // Nothing was produced in a folder this run made: do not leave it behind.
  if (code == kExitFailed && !existed) fs::remove(folder, ec);
  return code;
}

int RunJson(const std::string& package) {
  OpenedPackage opened;
  if (int code = OpenForBatch(package, opened)) return code;
  nlohmann::json j = SessionJson(*opened.session, opened.result);
  // A cabinet with "_setup.xml" gets the XML analysis too, also beside a ".000" one.
  bool xmlRead = false;
  XmlReadResult xml;
  std::string xmlError;
  if (!opened.session->findings().XmlFileName.empty()) {
    xml = ReadPackageXml(*opened.session);
    xmlRead = xml.ok();
    xmlError = xml.Message;
    j["Xml"] = XmlReadJson(xml);
  }
  AddProgramFacts(j, *opened.session, xmlRead ? &*xml.Analysis : nullptr, opened.folders->root() / "VornixFacts");
  // Written as it is made: the text of a large analysis is never held twice.
  std::cout << std::setw(2) << j << std::endl;
  j = nullptr;
  if (opened.result.Outcome == OpenOutcome::SetupAnalysed) return FinishedCode(*opened.session);
  // The JSON says why too; stderr says it to a person (a rejection was already printed).
  if (opened.result.Outcome == OpenOutcome::XmlFound) {
    if (xmlRead) return kExitDone;
    return Fail(package + " : " + Cp1252ToUtf8(xmlError));
  }
  return NoAnalysis(package, opened);
}

}  // namespace

std::string UsageText() {
  return "Vornix " VORNIX_VERSION " - takes apart Windows CE and Pocket PC packages\n"
         "\n"
         "usage:\n"
         "  vornix [PACKAGE]                 open the window (with the package, if given)\n"
         "  vornix PACKAGE inf               write the rebuilt INF beside PACKAGE (PACKAGE.inf)\n"
         "  vornix PACKAGE extract [FOLDER]  extract the files under their original names into\n"
         "                                   FOLDER (default: ./ExtractDir), in subfolders named\n"
         "                                   after their device folders, with the setup DLL and INF\n"
         "  vornix PACKAGE verify            check the cabinet's signature: who signed it, and\n"
         "                                   whether it is intact\n"
         "  vornix --json PACKAGE            print the whole analysis as JSON\n"
         "  vornix --theme-json PACKAGE.tsk  print the theme record as JSON\n"
         "  vornix --theme-convert PACKAGE.tsk  print the theme's description in the other\n"
         "                                   format (_setup.xml for a .000 theme, INF for an XML one)\n"
         "  vornix --scan FILE               list the complete cabinets inside FILE (an installer,\n"
         "                                   any file): offset, size, application name\n"
         "  vornix --help | -h | --version\n"
         "\n"
         "PACKAGE is a .cab or .tsk cabinet or a bare .000 setup description, or FILE#N,\n"
         "the Nth cabinet that vornix --scan lists in FILE.\n"
         "The words inf, extract and verify are accepted in any letter case.\n"
         "\n"
         "exit codes: 0 done; 222 done and an installed file name repeats;\n"
         "            1 something could not be read or written (reason on stderr); 2 usage error\n"
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
// afterwards, so whoever waits sees how the job ended.
class StopSignals {
 public:
  StopSignals() {
    struct sigaction action {};
    action.sa_handler = &OnStopSignal;
    sigemptyset(&action.sa_mask);
    for (int s : {SIGINT, SIGTERM}) sigaction(s, &action, nullptr);
  }
  ~StopSignals() {
    for (int s : {SIGINT, SIGTERM}) signal(s, SIG_DFL);
  }
};

int RunJob(const std::vector<std::string>& args);

}  // namespace

int RunBatch(const std::vector<std::string>& args) {
  int code = kExitFailed;
  {
    StopSignals signals;
    code = RunJob(args);
  }
  if (StopRequested()) raise(g_signal ? g_signal : SIGTERM);
  return code;
}

namespace {

int RunJob(const std::vector<std::string>& args) {
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
  // A cabinet inside another file ("setup.exe#2"), for every job that takes a package.
  if (const size_t at = first[0] == '-' ? 1 : 0; args.size() > at && IsEmbeddedArgument(args[at]))
    return RunEmbedded(args, at);
  if (first == "--json") {
    if (args.size() != 2) return UsageError("--json takes one PACKAGE");
    return RunJson(args[1]);
  }
  if (first == "--theme-json" || first == "--theme-convert") {
    if (args.size() != 2) return UsageError(first + " takes one PACKAGE");
    return RunTheme(first, args[1]);
  }
  if (first[0] == '-') return UsageError("unknown option " + first);

  const std::string word = LowerCp1252(args.at(1));
  if (word == "inf") return RunInf(first);
  if (word == "extract") return RunExtract(first, args);
  if (word == "verify") return RunVerify(first);
  return UsageError("unknown word '" + args[1] + "' (inf, extract or verify expected)");
}

}  // namespace

}  // namespace vornix

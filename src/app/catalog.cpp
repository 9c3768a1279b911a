#include "app/catalog.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <thread>
#include <utility>

#include "app/batch.h"
#include "app/batch_output.h"
#include "common/host_fs.h"
#include "common/interrupt.h"
#include "common/mapped_file.h"
#include "common/text.h"
#include "package/package_session.h"
#include "package/temp_folders.h"
#include "package/xml_extraction.h"
#include "presentation/display.h"
#include "scan/cabinet_scan.h"
#include "signature/cab_signature.h"
#include "signature/signature_check.h"

namespace fs = std::filesystem;

namespace vornix {
namespace {

using Record = nlohmann::ordered_json;

// Every line has every field (null when unknown), in this order; the CSV
// header names them.
constexpr const char* kColumns[] = {"path",     "sha256",          "bytes",      "description", "application",
                                    "provider", "processor",       "ce_min",     "ce_max",      "files",
                                    "folders",  "registry_values", "shortcuts",  "total_size",  "signature",
                                    "signer",   "setup_dll",       "duplicates", "error"};

constexpr unsigned kMaxJobs = 256;

Record Blank(const std::string& path) {
  Record r;
  for (const char* column : kColumns) r[column] = nullptr;
  r["path"] = path;
  return r;
}

// ---- the walk ---------------------------------------------------------------

enum class Kind { Cabinet, SetupFile, Installer };

struct Candidate {
  fs::path Path;
  Kind What = Kind::Cabinet;
  dev_t Device = 0;
  ino_t Inode = 0;
};

// A desktop installer: a program ("MZ") or an MSI database (a compound file).
bool LooksLikeInstaller(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  char head[4] = {};
  if (!in.read(head, sizeof head)) return false;
  return (head[0] == 'M' && head[1] == 'Z') || std::string_view(head, 4) == "\xD0\xCF\x11\xE0";
}

class Walker {
 public:
  std::vector<Candidate> Found;
  bool Troubled = false;  // a folder could not be read

  bool start(const fs::path& root) {
    struct stat info {};
    if (::stat(root.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
    m_seen.insert({info.st_dev, info.st_ino});
    walk(root);
    std::sort(Found.begin(), Found.end(),
              [](const Candidate& a, const Candidate& b) { return a.Path.native() < b.Path.native(); });
    // A file reached again through a link is the same package: listed once, under its first path.
    std::set<std::pair<dev_t, ino_t>> files;
    std::erase_if(Found, [&](const Candidate& c) { return !files.insert({c.Device, c.Inode}).second; });
    return true;
  }

 private:
  // Links are followed (a collection often links folders in), each folder
  // walked once: a link back to a folder already walked is said and passed.
  void walk(const fs::path& dir) {
    std::error_code ec;
    fs::directory_iterator it(dir, ec);
    if (ec) {
      Say(dir.string() + " : folder cannot be read (" + ec.message() + "); the walk goes on");
      Troubled = true;
      return;
    }
    std::vector<fs::path> entries;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
      entries.push_back(it->path());
    }
    if (ec) {
      Say(dir.string() + " : folder cannot be read to its end (" + ec.message() + "); the walk goes on");
      Troubled = true;
    }
    for (const fs::path& entry : entries) {
      if (StopRequested()) return;
      struct stat info {};
      if (::stat(entry.c_str(), &info) != 0) {
        struct stat link {};
        if (::lstat(entry.c_str(), &link) == 0 && S_ISLNK(link.st_mode))
          Say(entry.string() + " : a link that leads nowhere; passed over");
        continue;
      }
      if (S_ISDIR(info.st_mode)) {
        if (!m_seen.insert({info.st_dev, info.st_ino}).second) {
          Say(entry.string() + " : a link to a folder already walked (a loop); passed over");
          continue;
        }
        walk(entry);
      } else if (S_ISREG(info.st_mode)) {
        const std::string ext = LowerCp1252(entry.extension().string());
        if (ext == ".cab" || ext == ".tsk")
          Found.push_back({entry, Kind::Cabinet, info.st_dev, info.st_ino});
        else if (ext == ".000")
          Found.push_back({entry, Kind::SetupFile, info.st_dev, info.st_ino});
        else if (LooksLikeInstaller(entry))
          Found.push_back({entry, Kind::Installer, info.st_dev, info.st_ino});
      }
    }
  }

  std::set<std::pair<dev_t, ino_t>> m_seen;
};

// ---- one package ------------------------------------------------------------

// The opening's messages, kept for the line instead of shown.
class RecordingUi : public UserInterface {
 public:
  void warn(const std::string&, const std::string& text) override {
    if (First.empty()) First = text;
  }
  std::string First;
};

// One line of text: a message's paragraphs joined.
std::string Utf8(const std::string& cp1252) {
  std::string text = ReplaceAll(ReplaceAll(cp1252, "\r\n", "\n"), "\r", "\n");
  text = ReplaceAll(ReplaceAll(text, "\n\n", ": "), "\n", " ");
  return Cp1252ToUtf8(text);
}

void FromSetup(Record& r, const TSetupInfo& info) {
  r["description"] = ".000";
  r["application"] = Utf8(info.AppName);
  r["provider"] = Utf8(info.Provider);
  r["processor"] = Utf8(ProcessorText(info.Header));
  r["ce_min"] = MinVersionText(info.Header);
  r["ce_max"] = MaxVersionText(info.Header);
  r["files"] = info.Files.size();
  r["folders"] = info.Dirs.size();
  r["registry_values"] = info.RegKeys.size();
  r["shortcuts"] = info.Shortcuts.size();
  if (info.CabinetMode) {
    int64_t total = 0;
    for (const AListFiles& f : info.Files)
      if (f.Entry) total += f.Entry->Size;
    r["total_size"] = total;
  }
  if (info.SetupDll.present()) r["setup_dll"] = Utf8(info.SetupDll.Name);
  Record names = Record::array();
  for (const std::string& name : info.Duplicates) names.push_back(Utf8(name));
  r["duplicates"] = std::move(names);
}

// An install parameter's value as written; the last one counts, as in the INF.
std::string InstallValue(const XmlSetupAnalysis& a, std::string_view name) {
  std::string value;
  for (const std::vector<XmlInstallParm>& section : a.Install)
    for (const XmlInstallParm& p : section)
      if (EqualsNoCase(p.Name, name)) value = p.Value;
  return value;
}

void FromXml(Record& r, const XmlSetupAnalysis& a) {
  r["description"] = "_setup.xml";
  r["application"] = Utf8(a.AppName);
  r["processor"] = Utf8(InstallValue(a, "processortype"));
  r["ce_min"] = Utf8(InstallValue(a, "osversionmin"));
  r["ce_max"] = Utf8(InstallValue(a, "osversionmax"));
  int64_t files = 0, total = 0;
  for (const XmlFile& f : a.Files) {
    if (f.IsSetupDll) continue;
    ++files;
    if (f.Entry) total += f.Entry->Size;
  }
  r["files"] = files;
  r["folders"] = a.Dirs.size();
  size_t values = 0;
  for (const XmlRegistryKey& key : a.RegistryKeys) values += key.Values.size();
  r["registry_values"] = values;
  r["shortcuts"] = a.Shortcuts.size();
  r["total_size"] = total;
  if (!a.SetupDllName.empty()) r["setup_dll"] = Utf8(a.SetupDllName);
  r["duplicates"] = Record::array();
}

// One package whose bytes are `bytes`, opened as the file `openAs` (the
// package itself, or a private copy of a cabinet inside an installer).
Record Describe(const std::string& shown, const fs::path& openAs, std::span<const uint8_t> bytes, bool cabinet) {
  Record r = Blank(shown);
  const std::string sha = Sha256Hex(bytes);
  if (!sha.empty()) r["sha256"] = sha;
  r["bytes"] = bytes.size();
  if (cabinet) {
    const CabinetSignature sig = ReadCabinetSignature(bytes);
    r["signature"] = SignatureStateName(sig.State);
    if (const CertificateInfo* signer = sig.signer())
      r["signer"] = signer->CommonName.empty() ? signer->Subject : signer->CommonName;
  }
  RecordingUi ui;
  PackageSession session(ui);
  OpenOptions options;
  options.CheckSignature = false;
  options.ManyArgs = true;
  options.DuplicatesBox = false;
  const OpenResult opened = session.OpenPackage(openAs, options);
  std::string error;
  switch (opened.Outcome) {
    case OpenOutcome::SetupAnalysed: FromSetup(r, session.analysis()->Info); break;
    case OpenOutcome::XmlFound: {
      const Result<XmlSetupAnalysis> xml = ReadPackageXml(session);
      if (xml.ok())
        FromXml(r, *xml);
      else
        error = xml.message().empty() ? "the XML setup description cannot be read" : xml.message();
      break;
    }
    case OpenOutcome::SetupRejected:
      // The whole message as the window shows it: its first line alone names no cause.
      error = !ui.First.empty() ? ui.First : !opened.Message.empty() ? opened.Message : "setup description rejected";
      break;
    case OpenOutcome::NothingFound:
      error = !session.findings().ListingError.empty() ? session.findings().ListingError
                                                       : "no setup description found (not a Windows CE package)";
      break;
  }
  // A copy's messages name the argument, never the private path.
  if (!error.empty()) r["error"] = ReplaceAll(Utf8(error), openAs.string(), shown);
  return r;
}

class Worker {
 public:
  explicit Worker(TempFolders folders) : m_folders(std::move(folders)) {}

  std::vector<Record> run(const Candidate& c) {
    const std::string shown = c.Path.string();
    const MappedFile file(c.Path);
    if (!file.ok()) return {Failed(shown, file.error())};
    if (c.What != Kind::Installer) return {Describe(shown, c.Path, file.bytes(), c.What == Kind::Cabinet)};

    const CabinetScan scan = ScanForCabinets(file.bytes());
    if (!scan.Stopped.empty()) Say("warning: " + shown + " : " + scan.Stopped);
    std::vector<Record> records;
    const fs::path copy = m_folders.root() / "embedded.cab";
    for (size_t i = 0; i < scan.Cabinets.size() && !StopRequested(); ++i) {
      const EmbeddedCabinet& cabinet = scan.Cabinets[i];
      const std::string name = shown + "#" + std::to_string(i + 1);
      const auto bytes = file.bytes().subspan(cabinet.Offset, cabinet.Size);
      std::string error;
      if (!WriteFileBytes(copy, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), &error)) {
        records.push_back(Failed(name, "a private copy cannot be written (" + error + ")"));
        continue;
      }
      records.push_back(Describe(name, copy, bytes, true));
    }
    std::error_code ec;
    fs::remove(copy, ec);
    return records;
  }

 private:
  static Record Failed(const std::string& shown, const std::string& error) {
    Record r = Blank(shown);
    r["error"] = shown + " : " + error;
    return r;
  }

  TempFolders m_folders;
};

// ---- output -------------------------------------------------------------------

std::string CsvField(const Record& value) {
  std::string text;
  if (value.is_null()) return text;
  if (value.is_string()) {
    text = value.get<std::string>();
  } else if (value.is_array()) {
    for (const Record& item : value) text += (text.empty() ? "" : ";") + item.get<std::string>();
  } else {
    text = value.dump();
  }
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  return "\"" + ReplaceAll(text, "\"", "\"\"") + "\"";
}

void Print(const Record& r, bool csv) {
  if (!csv) {
    std::cout << r.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
    return;
  }
  std::string line;
  for (const char* column : kColumns) {
    if (!line.empty() || column != kColumns[0]) line += ',';
    // Texts that are no UTF-8 (host file names) are written as they are.
    line += CsvField(r[column]);
  }
  std::cout << line << "\r\n";
}

int CatalogUsage(const std::string& message) {
  Say(message);
  Say("usage: vornix --catalog DIR [--jobs N] [--csv]");
  return kExitUsage;
}

}  // namespace

struct CatalogArgs {
  std::optional<fs::path> Root;
  unsigned Jobs = std::max(1u, std::thread::hardware_concurrency());
  bool Csv = false;
};

// The words after --catalog; a usage error's exit code when they are wrong.
int ParseCatalogArgs(const std::vector<std::string>& args, CatalogArgs& out) {
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--csv") {
      out.Csv = true;
    } else if (args[i] == "--jobs") {
      if (i + 1 >= args.size()) return CatalogUsage("--jobs takes a number");
      const std::string& n = args[++i];
      if (n.empty() || n.size() > 3 || !std::all_of(n.begin(), n.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
          std::stoul(n) < 1 || std::stoul(n) > kMaxJobs)
        return CatalogUsage(Format("--jobs takes a number from 1 to %u", kMaxJobs));
      out.Jobs = static_cast<unsigned>(std::stoul(n));
    } else if (!out.Root && !(args[i].size() > 1 && args[i][0] == '-')) {
      out.Root = args[i];
    } else {
      return CatalogUsage("--catalog takes one DIR, and --jobs N and --csv");
    }
  }
  if (!out.Root) return CatalogUsage("--catalog takes one DIR");
  return kExitDone;
}

int RunCatalog(const std::vector<std::string>& args) {
  CatalogArgs parsed;
  if (int code = ParseCatalogArgs(args, parsed)) return code;
  const fs::path& root = *parsed.Root;
  const bool csv = parsed.Csv;

  Walker walker;
  if (!walker.start(root)) return Fail(root.string() + " : no such folder");
  const std::vector<Candidate>& found = walker.Found;
  const unsigned jobs = static_cast<unsigned>(std::min<size_t>(parsed.Jobs, std::max<size_t>(1, found.size())));

  // Each worker opens its packages in temporary folders of its own.
  std::vector<std::unique_ptr<Worker>> workers;
  for (unsigned k = 0; k < jobs; ++k) {
    Result<TempFolders> folders = TempFolders::Prepare();
    if (!folders) return Fail(folders.message());
    workers.push_back(std::make_unique<Worker>(std::move(*folders)));
  }

  std::mutex lock;
  std::condition_variable done;
  std::vector<std::optional<std::vector<Record>>> results(found.size());
  std::atomic<size_t> next{0};
  unsigned finished = 0;
  std::vector<std::thread> threads;
  for (unsigned k = 0; k < jobs; ++k) {
    threads.emplace_back([&, k] {
      while (!StopRequested()) {
        const size_t i = next++;
        if (i >= found.size()) break;
        std::vector<Record> records = workers[k]->run(found[i]);
        std::lock_guard guard(lock);
        results[i] = std::move(records);
        done.notify_all();
      }
      std::lock_guard guard(lock);
      ++finished;
      done.notify_all();
    });
  }

  // Lines go out in walk order as soon as each is ready.
  if (csv) {
    std::string header;
    for (const char* column : kColumns) header += (header.empty() ? "" : ",") + std::string(column);
    std::cout << header << "\r\n";
  }
  bool failures = walker.Troubled;
  for (size_t i = 0; i < found.size(); ++i) {
    std::vector<Record> records;
    {
      std::unique_lock guard(lock);
      done.wait(guard, [&] { return results[i].has_value() || finished == jobs; });
      if (!results[i]) break;  // stopped
      records = std::move(*results[i]);
      results[i].reset();
    }
    for (const Record& r : records) {
      failures = failures || !r["error"].is_null();
      Print(r, csv);
    }
    std::cout.flush();
  }
  for (std::thread& t : threads) t.join();
  return failures ? kExitFailed : kExitDone;
}

}  // namespace vornix

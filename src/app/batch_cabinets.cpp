#include "app/batch_cabinets.h"

#include <stdlib.h>

#include <filesystem>
#include <iostream>

#include "app/batch.h"
#include "app/batch_output.h"
#include "common/host_fs.h"
#include "common/text.h"
#include "package/package_session.h"
#include "scan/cabinet_scan.h"
#include "signature/cab_signature.h"

namespace fs = std::filesystem;

namespace vornix {
namespace {

// A folder of our own (mode 0700) for copies of embedded cabinets; removed
// with everything in it however the job ends.
class PrivateFolder {
 public:
  PrivateFolder() {
    std::error_code ec;
    std::string pattern = (fs::temp_directory_path(ec) / "vornix-cabinets-XXXXXX").string();
    if (mkdtemp(pattern.data())) m_path = pattern;
  }
  ~PrivateFolder() {
    std::error_code ec;
    if (!m_path.empty()) fs::remove_all(m_path, ec);
  }
  PrivateFolder(const PrivateFolder&) = delete;
  PrivateFolder& operator=(const PrivateFolder&) = delete;
  const fs::path& path() const { return m_path; }

 private:
  fs::path m_path;
};

}  // namespace

int RunVerify(const std::string& package) {
  std::error_code ec;
  if (!fs::is_regular_file(package, ec)) return Fail(package + " : no such file");
  const CabinetSignature signature = ReadCabinetSignatureFile(package);
  for (const std::string& line : SignatureSummaryLines(signature)) std::cout << line << '\n';
  std::cout.flush();
  switch (signature.State) {
    case SignatureState::Intact: return kExitDone;
    case SignatureState::NotSigned: return kExitNotSigned;
    case SignatureState::ContentChanged:
    case SignatureState::SignatureBroken: return kExitSignatureMismatch;
    case SignatureState::NotChecked: return Fail(package + " : the signature was not checked: " + signature.Problem);
    case SignatureState::Unreadable: return Fail(package + " : " + signature.Problem);
  }
  return kExitFailed;
}

int RunScan(const std::string& file) {
  std::error_code ec;
  if (!fs::is_regular_file(file, ec)) return Fail(file + " : no such file");
  std::string error;
  const CabinetScan scan = ScanFileForCabinets(file, &error);
  if (!error.empty()) return Fail(error);
  if (!scan.Stopped.empty()) Say("warning: " + file + " : " + scan.Stopped);
  if (scan.Cabinets.empty()) return Fail(file + " : no complete cabinet found");

  PrivateFolder copies;
  std::cout << file << ": " << scan.Cabinets.size() << (scan.Cabinets.size() == 1 ? " cabinet" : " cabinets")
            << " (open one as " << file << "#N)\n";
  for (size_t i = 0; i < scan.Cabinets.size(); ++i) {
    const EmbeddedCabinet& c = scan.Cabinets[i];
    std::string application = "not read";
    const fs::path copy = copies.path() / Format("%zu.cab", i + 1);
    if (!copies.path().empty() && CopyFileSpan(file, c.Offset, c.Size, copy, &error)) {
      application = ApplicationNameOf(copy);
      fs::remove(copy, ec);
    }
    std::cout << Format("#%zu at %llu (0x%llX), %llu bytes, %u folder%s, %u file%s%s: ", i + 1,
                        static_cast<unsigned long long>(c.Offset), static_cast<unsigned long long>(c.Offset),
                        static_cast<unsigned long long>(c.Size), c.FolderCount, c.FolderCount == 1 ? "" : "s",
                        c.FileCount, c.FileCount == 1 ? "" : "s", c.Signed ? ", signed" : "")
              << application << '\n';
  }
  std::cout.flush();
  return kExitDone;
}

bool IsEmbeddedArgument(const std::string& arg) {
  const size_t hash = arg.rfind('#');
  if (hash == std::string::npos || hash == 0 || hash + 1 == arg.size() || arg.size() - hash > 6) return false;
  for (size_t i = hash + 1; i < arg.size(); ++i) {
    if (arg[i] < '0' || arg[i] > '9') return false;
  }
  std::error_code ec;
  return !fs::exists(arg, ec) && fs::is_regular_file(arg.substr(0, hash), ec);
}

int RunEmbedded(std::vector<std::string> args, size_t packageAt) {
  const std::string arg = args.at(packageAt);
  const size_t hash = arg.rfind('#');
  const fs::path file = arg.substr(0, hash);
  const std::string number = arg.substr(hash + 1);
  const size_t index = std::stoul(number);  // digits only, at most five
  std::string error;
  const CabinetScan scan = ScanFileForCabinets(file, &error);
  if (!error.empty()) return Fail(error);
  if (index < 1 || index > scan.Cabinets.size()) {
    return Fail(Format("%s : holds %zu complete cabinet(s); there is no #%s (vornix --scan lists them)",
                       file.string().c_str(), scan.Cabinets.size(), number.c_str()));
  }
  const EmbeddedCabinet& cabinet = scan.Cabinets[index - 1];
  PrivateFolder folder;
  if (folder.path().empty()) return Fail("a private temporary folder cannot be made");
  // The job runs on a copy of the cabinet's bytes, so every step of it (the
  // opening, the extraction, the signature) reads an ordinary cabinet file.
  const fs::path copy = folder.path() / (file.filename().string() + "#" + number + ".cab");
  if (!CopyFileSpan(file, cabinet.Offset, cabinet.Size, copy, &error)) return Fail(error);
  args[packageAt] = copy.string();
  BatchRun& run = CurrentRun();
  run.CopyPath = copy.string();
  run.CopyShownAs = arg;
  const int code = RunPackageJob(args);
  run.CopyPath.clear();
  run.CopyShownAs.clear();

  // "inf" wrote beside the copy; its place is beside the file the cabinet came from.
  if (packageAt == 0 && args.size() >= 2 && LowerCp1252(args[1]) == "inf" &&
      (code == kExitDone || code == kExitDuplicates)) {
    const fs::path written = fs::path(copy).replace_extension(".inf");
    const fs::path target = file.parent_path() / (file.stem().string() + "#" + number + ".inf");
    const auto text = ReadFileBytes(written);
    if (!text || !WriteFileBytes(target, *text)) return Fail(target.string() + " : cannot be written");
  }
  // So did "reg", under the application's name, which it keeps beside the file.
  if (packageAt == 0 && args.size() >= 2 && LowerCp1252(args[1]) == "reg" && code == kExitDone) {
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder.path(), ec)) {
      if (entry.path().extension() != ".reg") continue;
      const fs::path target = file.parent_path() / entry.path().filename();
      const auto text = ReadFileBytes(entry.path());
      if (!text || !WriteFileBytes(target, *text)) return Fail(target.string() + " : cannot be written");
    }
  }
  return code;
}

}  // namespace vornix

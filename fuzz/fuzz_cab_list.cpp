// Cabinet listing and extraction on arbitrary bytes. Beyond "no crash", it
// checks what the component promises: the counts agree with the listing, and
// nothing is written anywhere but under the target folder.
//
// Seeds: fuzz/corpus/cab/ (written by bench/make_cab_seeds).

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "cabfiles/cab_file.h"
#include "common/host_fs.h"

namespace fs = std::filesystem;

namespace {

// Small inputs can still inflate to many megabytes; a run stops there.
constexpr int64_t kOutputLimit = 64 << 20;
struct OutputLimit {};

fs::path g_root;

void RemoveRoot() {
  std::error_code ec;
  fs::remove_all(g_root, ec);
}

fs::path Root() {
  // Memory-backed when there is such a folder: extraction writes a lot.
  const fs::path base = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
  g_root = base / ("vornix-fuzz-cab-" + std::to_string(::getpid()));
  fs::remove_all(g_root);
  fs::create_directories(g_root);
  std::atexit(RemoveRoot);
  return g_root;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const fs::path root = Root();
  const fs::path input = root / "input.cab";
  const fs::path target = root / "out";
  if (!vornix::WriteFileBytes(input, std::string_view(reinterpret_cast<const char*>(data), size))) std::abort();

  vornix::TCABFile cab;
  cab.CABFile = input;
  cab.TargetPath = target;
  cab.OnWarning = [](const std::string&) {};
  cab.ListContents();
  const int count = cab.CABFileContents.Count();
  if (cab.NbFiles() < 0 && count != 0) std::abort();
  if (cab.NbFiles() >= 0 && count > cab.NbFiles()) std::abort();
  for (const vornix::TCABFileEntry& e : cab.CABFileContents.items()) {
    (void)e.dateText();
    if (e.Selected || !e.RelPath.empty()) std::abort();
  }

  int64_t total = 0;
  int64_t last = 0;
  std::string current;
  cab.OnDecompressProgress = [&](const std::string& name, int64_t pos, int64_t tot) {
    if (name != current || pos < last) {  // the next entry (names may repeat)
      current = name;
      last = 0;
    }
    if (pos > tot) std::abort();
    total += pos - last;
    last = pos;
    if (total > kOutputLimit) throw OutputLimit{};
  };
  try {
    cab.ExtractAll();
  } catch (const OutputLimit&) {
  }

  for (const auto& entry : fs::directory_iterator(root)) {
    if (entry.path() != input && entry.path() != target) std::abort();  // written outside the target
  }
  std::error_code ec;
  fs::remove_all(target, ec);
  return 0;
}

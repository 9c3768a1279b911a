// Cabinet listing and decompression of every entry on arbitrary bytes, all in
// memory: the component reads the input through its mspack_system and the
// output is checked and discarded, so each run costs the decoders' work and
// nothing else. Beyond "no crash", it checks what the component promises: the
// counts agree with the listing, each entry's output matches its declared
// size, and a run never writes more than the cabinet's folders hold.
//
// Seeds: fuzz/corpus/cab/ (written by bench/make_cab_seeds).

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "cabfiles/cab_file.h"
#include "presentation/display.h"

namespace {

// Small inputs can still inflate to megabytes; a run stops there to stay fast.
constexpr int64_t kOutputLimit = 4 << 20;
struct OutputLimit {};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vornix::TCABFile cab;
  cab.CABFile = "fuzz.cab";
  cab.CABData = std::string_view(reinterpret_cast<const char*>(data), size);
  cab.OnWarning = [](const std::string&) {};
  const vornix::Result<void> listed = cab.ListContents();
  const int count = cab.CABFileContents.Count();
  if (!listed && count != 0) std::abort();
  if (cab.NbFiles() < 0 && count != 0) std::abort();
  if (cab.NbFiles() >= 0 && count > cab.NbFiles()) std::abort();
  for (const vornix::TCABFileEntry& e : cab.CABFileContents.items()) {
    (void)vornix::DosDateText(e.DosDate, e.DosTime);
    if (e.Selected || !e.RelPath.empty()) std::abort();
  }
  if (count == 0) return 0;

  int64_t total = 0;
  int64_t last = 0;
  std::string current;
  cab.OnDecompressProgress = [&](const std::string& name, int64_t pos, int64_t tot) {
    if (name != current || pos < last) {  // the next entry (names may repeat)
      current = name;
      last = 0;
    }
    if (pos > tot) std::abort();  // more than the entry declares
    total += pos - last;
    last = pos;
    if (total > kOutputLimit) throw OutputLimit{};
  };
  try {
    // Whatever the input, a pass ends with a result rather than a crash.
    (void)cab.Extract([](const vornix::TCABFileEntry&) {
      vornix::ExtractTarget discard;
      discard.Discard = true;
      return std::optional<vornix::ExtractTarget>(discard);
    });
  } catch (const OutputLimit&) {
  }
  return 0;
}

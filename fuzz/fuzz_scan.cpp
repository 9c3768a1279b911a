// The scan for cabinets inside other files, on arbitrary bytes. Beyond "no
// crash" it checks what the scan promises: cabinets in file order, none
// overlapping another, each inside the file, and each found again, alone and
// whole, when its own bytes are scanned.
//
// Seeds: fuzz/corpus/scan/ (written by bench/make_signature_seeds).

#include <cstdint>
#include <cstdlib>
#include <span>

#include "scan/cabinet_scan.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  const vornix::CabinetScan scan = vornix::ScanForCabinets(bytes);
  uint64_t end = 0;
  for (const vornix::EmbeddedCabinet& c : scan.Cabinets) {
    if (c.Offset < end || c.Size == 0 || c.Offset + c.Size > size || c.CabinetSize > c.Size) std::abort();
    end = c.Offset + c.Size;
    const vornix::CabinetScan alone = vornix::ScanForCabinets(bytes.subspan(c.Offset, c.Size));
    if (alone.Cabinets.empty() || alone.Cabinets[0].Offset != 0 || alone.Cabinets[0].Size != c.Size) std::abort();
  }
  return 0;
}

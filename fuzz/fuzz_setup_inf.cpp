// Setup descriptions from anywhere: the reader must reject or read them, and
// whatever it reads, the INF writer, the list rows and the registry export
// must handle.
#include <cstddef>
#include <cstdint>
#include <string>

#include "presentation/inf_writer.h"
#include "presentation/reg_export.h"
#include "presentation/rows.h"
#include "setup/setup_info.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const vornix::CabListing listing = [] {
    vornix::CabListing l;
    for (const char* n : {"APP~1.001", "APP~1.002", "APP~1.003", "SETUP~1.999", "_setup.xml", "APP~1.1000"}) {
      vornix::TCABFileEntry& e = l.emplace_back();
      e.Name = n;
      e.Size = 10;
      e.DosDate = (29 << 9) | (1 << 5) | 1;  // 2009-01-01
    }
    return l;
  }();
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  vornix::SetupReadInput in;
  in.DisplayName = "fuzz.000";
  in.CheckSignature = size > 0 && (data[0] & 1);
  in.CabinetMode = size > 1 && (data[1] & 1);
  in.Listing = &listing;
  const vornix::Result<vornix::TSetupInfo> r = vornix::ReadSetupBytes(bytes, in);
  if (r.ok()) {
    const auto lines = vornix::WriteInf(*r);
    const auto lists = vornix::BuildAnalysisLists(*r, {"fuzz.cab", "fuzz.000", size});
    (void)vornix::InfFileText(lines);
    (void)lists;
    (void)vornix::RegFileBytes(*r,
                               in.CheckSignature ? vornix::RegFileFormat::Version5 : vornix::RegFileFormat::Regedit4);
  }
  return 0;
}

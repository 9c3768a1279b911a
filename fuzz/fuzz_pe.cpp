// The program-file reader on arbitrary bytes. Beyond "no crash", it checks
// that the texts the window and the JSON show can always be made from what
// was read.
//
// Seeds: fuzz/corpus/pe/ (written by bench/make_pe_seeds).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "pe/pe_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const vornix::ProgramFileReadResult read = vornix::ReadProgramFile(bytes);
  if (read.ok() && !vornix::LooksLikeProgramFile(bytes)) std::abort();
  const vornix::ProgramFileInfo& info = read.Info;
  if (vornix::VersionSuffix(info).rfind(" (v. ", 0) != 0) std::abort();
  (void)info.machineName();
  (void)info.subsystemVersionText();
  (void)info.string("CompanyName");
  if (info.Fixed) (void)info.Fixed->flagNames();
  return 0;
}

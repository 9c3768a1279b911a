#include "pe/pe_format.h"

namespace vornix::pe {

std::string_view MachineName(uint16_t machine) {
  switch (machine) {
    case 0x0000: return "Unknown";
    case 0x014C: return "i386";
    case 0x0160: return "MIPS R3000 BE";
    case 0x0162: return "MIPS R3000";
    case 0x0166: return "MIPS R4000";
    case 0x0168: return "MIPS R10000";
    case 0x0169: return "MIPS WCE v2";
    case 0x0184: return "Alpha";
    case 0x01A2: return "SH3";
    case 0x01A3: return "SH3DSP";
    case 0x01A4: return "SH3E";
    case 0x01A6: return "SH4";
    case 0x01A8: return "SH5";
    case 0x01C0: return "ARM";
    case 0x01C2: return "THUMB";
    case 0x01C4: return "ARMNT";
    case 0x01D3: return "AM33";
    case 0x01F0: return "PowerPC";
    case 0x01F1: return "PowerPCFP";
    case 0x0200: return "IA64";
    case 0x0266: return "MIPS16";
    case 0x0284: return "Alpha64";
    case 0x0366: return "MIPSFPU";
    case 0x0466: return "MIPSFPU16";
    case 0x0520: return "TriCore";
    case 0x0CEF: return "CEF";
    case 0x0EBC: return "EBC";
    case 0x5032: return "RISCV32";
    case 0x5064: return "RISCV64";
    case 0x5128: return "RISCV128";
    case 0x6232: return "LoongArch32";
    case 0x6264: return "LoongArch64";
    case 0x8664: return "x64";
    case 0x9041: return "M32R";
    case 0xA641: return "ARM64EC";
    case 0xA64E: return "ARM64X";
    case 0xAA64: return "ARM64";
    case 0xC0EE: return "CEE";
    default: return {};
  }
}

std::string_view SubsystemName(uint16_t subsystem) {
  switch (subsystem) {
    case 0: return "Unknown";
    case 1: return "Native";
    case 2: return "Windows GUI";
    case 3: return "Windows CUI";
    case 5: return "OS/2 CUI";
    case 7: return "POSIX CUI";
    case 8: return "Native Windows";
    case 9: return "Windows CE GUI";
    case 10: return "EFI application";
    case 11: return "EFI boot service driver";
    case 12: return "EFI runtime driver";
    case 13: return "EFI ROM";
    case 14: return "Xbox";
    case 16: return "Windows boot application";
    default: return {};
  }
}

std::string_view FileFlagName(uint32_t bit) {
  switch (bit) {
    case kFlagDebug: return "Debug";
    case kFlagPrerelease: return "Prerelease";
    case kFlagPatched: return "Patched";
    case kFlagPrivateBuild: return "Private build";
    case kFlagInfoInferred: return "Info inferred";
    case kFlagSpecialBuild: return "Special build";
    default: return {};
  }
}

}  // namespace vornix::pe

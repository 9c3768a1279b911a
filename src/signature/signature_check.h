// The part of reading a cabinet's signature that needs OpenSSL, apart from
// the part that finds it: the batch executable loads OpenSSL (a module of its
// own) only when it meets a cabinet whose header reserves a signature.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "signature/cab_signature.h"

namespace vornix {

inline constexpr size_t kCabHeaderSize = 36;
inline constexpr uint16_t kCabFlagPrevNext = 0x0003;  // one cabinet of a set
inline constexpr uint16_t kCabFlagReservePresent = 0x0004;
inline constexpr size_t kSignatureReserveSize = 20;
inline constexpr std::string_view kSignatureMarker{"\x00\x00\x10\x00", 4};

/// The header fields the check needs besides the signature's place.
struct SignatureHeader {
  uint16_t Flags = 0;
  uint16_t HeaderReserve = 0;
  uint32_t CabinetSize = 0;
};

/// Reads and checks the PKCS#7 blob at `located.Offset` (`located.Size`
/// bytes, inside `file`) and the cabinet's bytes against it.
CabinetSignature CheckCabinetSignature(std::span<const uint8_t> file, const SignatureHeader& header,
                                       CabinetSignature located);

/// The entry point of the signature module (vornix-signature.so): the same
/// check behind a C name, refused (false) when the module belongs to another
/// build (version, or size of the record).
using SignatureModuleEntry = bool (*)(const char* version, size_t recordSize, const uint8_t* file, size_t size,
                                      const SignatureHeader* header, CabinetSignature* signature);
/// The SHA-256 of `bytes` as 64 lower-case hexadecimal digits; empty when no
/// digest can be made. The catalogue names every package by it.
std::string Sha256Hex(std::span<const uint8_t> bytes);

/// The module's entry for it: writes the 64 digits and a NUL into `out`.
using Sha256ModuleEntry = bool (*)(const char* version, const uint8_t* data, size_t size, char* out);
inline constexpr const char* kSha256ModuleEntry = "VornixSha256";

inline constexpr const char* kSignatureModuleName = "vornix-signature.so";
inline constexpr const char* kSignatureModuleEntry = "VornixCheckCabinetSignature";

}  // namespace vornix

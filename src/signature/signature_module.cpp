// The signature check as a module of its own (vornix-signature.so): the batch
// executable loads it, and OpenSSL with it, only for a signed cabinet.
#include <cstring>
#include <utility>

#include "signature/signature_check.h"

extern "C" __attribute__((visibility("default"))) bool VornixCheckCabinetSignature(
    const char* version, size_t recordSize, const uint8_t* file, size_t size, const vornix::SignatureHeader* header,
    vornix::CabinetSignature* signature) {
  // The record crosses between two builds: they must be the same one.
  if (std::strcmp(version, VORNIX_VERSION) != 0 || recordSize != sizeof(vornix::CabinetSignature)) return false;
  *signature = vornix::CheckCabinetSignature(std::span(file, size), *header, std::move(*signature));
  return true;
}

extern "C" __attribute__((visibility("default"))) bool VornixSha256(const char* version, const uint8_t* data,
                                                                    size_t size, char* out) {
  if (std::strcmp(version, VORNIX_VERSION) != 0) return false;
  const std::string hex = vornix::Sha256Hex(std::span(data, size));
  if (hex.size() != 64) return false;
  std::memcpy(out, hex.c_str(), hex.size() + 1);
  return true;
}

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

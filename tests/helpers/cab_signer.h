// Signs cabinets the way the Windows CE signing tool does, for tests and fuzz
// seeds: a 20-byte header reserve pointing at a PKCS#7 SignedData blob that
// follows the cabinet data, holding Authenticode indirect data with the
// digest of the cabinet's bytes. Keys and certificates are made at run time
// with OpenSSL; nothing is copied from real packages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "helpers/cab_builder.h"

namespace vornix::testing {

enum class SignerChain {
  SelfSigned,     // one certificate, its own issuer
  ToStoredRoot,   // the signer's certificate and the root that issued it
  RootNotStored,  // the signer's certificate only; its issuer is left out
};

struct SigningOptions {
  SignerChain chain = SignerChain::SelfSigned;
  std::string commonName = "Vornix Test Signer";
  /// The signer certificate's notAfter holds "20391399999999Z" (month 13).
  bool brokenNotAfter = false;
};

/// A signed cabinet and where its signature lies.
struct SignedCabinet {
  std::string bytes;
  size_t blobOffset = 0;   // the PKCS#7 blob (== the cabinet's own size)
  size_t blobDerSize = 0;  // the DER structure; zero padding follows it
};

/// The reserve a cabinet needs before it can be signed: 20 header bytes and
/// `perFolder` bytes in every folder record (real signed cabinets carry 0, 48 or 64).
CabBuilder& ReserveForSigning(CabBuilder& builder, uint8_t perFolder = 48);

/// Signs `cabinet` (built with ReserveForSigning). Throws std::runtime_error
/// when the cabinet has no 20-byte header reserve or OpenSSL fails.
SignedCabinet SignCabinet(const std::string& cabinet, const SigningOptions& options = {});

/// Bytes that look like the start of a desktop program ("MZ", a PE header
/// offset, "PE\0\0", then seeded filler): what precedes a cabinet in an
/// installer.
std::string ProgramStub(size_t length, uint32_t seed);

}  // namespace vornix::testing

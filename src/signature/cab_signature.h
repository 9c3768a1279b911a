// Who signed a cabinet, and whether it is still what was signed.
//
// A signed Windows CE cabinet has a header reserve that starts with the 20
// bytes 00 00 10 00, the offset and the size of a PKCS#7 SignedData blob
// (Authenticode) appended after the cabinet data, and 8 more bytes. The blob
// is read with OpenSSL; the cabinet's own bytes are hashed here by the rule
// the signing tool follows (see ContentDigest in the source).
//
// The record holds values. Certificate names and dates are UTF-8 text as
// OpenSSL prints them: they are Unicode in the certificate, and Windows-1252
// cannot hold every name.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace vornix {

enum class SignatureState {
  NotSigned,        // the header reserves no signature
  Intact,           // content digest, messageDigest and the signer's signature all check out
  ContentChanged,   // the cabinet's bytes are not the bytes that were signed
  SignatureBroken,  // the content is as signed, but the signature over it does not verify
  NotChecked,       // the signer is known, the content could not be checked (Problem says why)
  Unreadable,       // the header reserves a signature, but none can be read there
};

enum class ChainState {
  Unknown,            // the signer's certificate is not in the signature
  SelfSigned,         // the signer's certificate is its own issuer
  ToStoredRoot,       // every link verifies up to a self-signed root stored in the signature
  IssuerNotIncluded,  // the chain stops at a certificate whose issuer is not stored
  LinkBroken,         // a stored issuer's key does not verify the certificate below it
};

/// A certificate's validity date.
struct CertificateDate {
  bool Valid = false;
  std::string Text;  // "2009-01-01 03:00:00 UTC"; the stored characters when not a valid date
};

struct CertificateInfo {
  std::string Subject;  // most specific part first: "CN=..., O=..., C=..."
  std::string Issuer;
  std::string CommonName;  // the subject's CN, or empty
  std::string Serial;      // hexadecimal, upper case
  CertificateDate NotBefore;
  CertificateDate NotAfter;
  std::string SignatureAlgorithm;  // "md5WithRSAEncryption", ...
  bool SelfSigned = false;         // its own issuer, and its own key verifies it
};

struct CabinetSignature {
  SignatureState State = SignatureState::NotSigned;
  std::string Problem;  // why it is not intact or not checked; empty when intact or not signed
  uint32_t Offset = 0;  // of the blob in the file
  uint32_t Size = 0;
  std::string DigestAlgorithm;                // of the content ("SHA1"), as the signature names it
  std::string SignedDigest;                   // hexadecimal, as the signature carries it
  std::string ComputedDigest;                 // hexadecimal, of the cabinet's bytes; empty when not computed
  std::optional<bool> ContentMatches;         // empty: not checked
  std::optional<bool> MessageDigestMatches;   // the signed attributes' messageDigest
  std::optional<bool> SignatureVerifies;      // the signer's signature over the signed attributes
  std::vector<CertificateInfo> Certificates;  // as stored, in their order
  int SignerIndex = -1;                       // into Certificates; -1 when the signer's certificate is not stored
  std::string SignerIssuer;                   // from the signer information, also without the certificate
  std::string SignerSerial;
  ChainState Chain = ChainState::Unknown;
  std::vector<int> ChainPath;  // indices into Certificates, from the signer up
  bool SelfSigned = false;     // the signer's certificate is self-signed

  const CertificateInfo* signer() const {
    return SignerIndex >= 0 ? &Certificates[static_cast<size_t>(SignerIndex)] : nullptr;
  }
};

/// The signature of the cabinet that starts at the first byte of `file` (its
/// appended signature included). Never throws on hostile bytes: every
/// problem is a state and a Problem text.
CabinetSignature ReadCabinetSignature(std::span<const uint8_t> file);

/// The same for a file on disk; Unreadable when it cannot be read.
CabinetSignature ReadCabinetSignatureFile(const std::filesystem::path& file);

/// "not signed", "intact", "content changed", "signature broken", "not checked", "unreadable".
const char* SignatureStateName(SignatureState state);
/// "unknown", "self-signed", "to a stored root", "issuer not included", "link broken".
const char* ChainStateName(ChainState state);

/// A short summary for people: the state, then the signer's names, serial,
/// validity, digest and chain, one item per line (UTF-8).
std::vector<std::string> SignatureSummaryLines(const CabinetSignature& signature);

/// The same summary as labelled items for the window's first tab and the
/// report: "Signature" with the state's sentence, then "Signer", "Issuer",
/// "Serial", "Valid", "Digest", "Chain", "Stored" where known (UTF-8).
std::vector<std::pair<std::string, std::string>> SignatureItems(const CabinetSignature& signature);

}  // namespace vornix

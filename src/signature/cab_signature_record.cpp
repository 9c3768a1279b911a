// Finding a cabinet's signature and telling about it: no OpenSSL here (see
// signature_check.h).
#include <utility>

#include "common/byte_reader.h"
#include "common/mapped_file.h"
#include "common/text.h"
#include "signature/cab_signature.h"
#include "signature/signature_check.h"

namespace vornix {
namespace {

CabinetSignature Unreadable(CabinetSignature sig, std::string problem) {
  sig.State = SignatureState::Unreadable;
  sig.Problem = std::move(problem);
  return sig;
}

}  // namespace

CabinetSignature ReadCabinetSignature(std::span<const uint8_t> file) {
  CabinetSignature sig;
  ByteReader header(file);
  if (header.bytes(4) != "MSCF") return Unreadable(sig, "not a cabinet (no MSCF header)");
  header.seek(8);
  const uint32_t cabinetSize = header.u32();
  header.seek(30);
  const uint16_t flags = header.u16();
  if (!header.ok()) return Unreadable(sig, "the cabinet header is cut short");
  if (!(flags & kCabFlagReservePresent)) return sig;
  header.seek(kCabHeaderSize);
  const uint16_t headerReserve = header.u16();
  header.skip(2);
  if (!header.ok()) return Unreadable(sig, "the cabinet header is cut short");
  if (headerReserve < kSignatureReserveSize) return sig;
  const std::string_view marker = header.bytes(4);
  if (!header.ok()) return Unreadable(sig, "the cabinet header is cut short");
  if (marker != kSignatureMarker) return sig;
  sig.Offset = header.u32();
  sig.Size = header.u32();
  if (!header.ok()) return Unreadable(sig, "the cabinet header is cut short");

  const uint64_t end = uint64_t{sig.Offset} + sig.Size;
  if (sig.Size == 0) return Unreadable(sig, "the header reserves a signature of size 0");
  if (end > file.size())
    return Unreadable(sig, Format("the signature (offset %u, size %u) runs past the end of the file (size %zu)",
                                  sig.Offset, sig.Size, file.size()));
  if (sig.Offset < kCabHeaderSize + 4 + kSignatureReserveSize)
    return Unreadable(sig, Format("the signature's offset %u lies inside the cabinet header", sig.Offset));
  return CheckCabinetSignature(file, {flags, headerReserve, cabinetSize}, std::move(sig));
}

CabinetSignature ReadCabinetSignatureFile(const std::filesystem::path& file) {
  const MappedFile mapped(file);
  if (!mapped.ok()) {
    CabinetSignature sig;
    sig.State = SignatureState::Unreadable;
    sig.Problem = mapped.error();
    return sig;
  }
  return ReadCabinetSignature(mapped.bytes());
}

const char* SignatureStateName(SignatureState state) {
  switch (state) {
    case SignatureState::NotSigned: return "not signed";
    case SignatureState::Intact: return "intact";
    case SignatureState::ContentChanged: return "content changed";
    case SignatureState::SignatureBroken: return "signature broken";
    case SignatureState::NotChecked: return "not checked";
    case SignatureState::Unreadable: return "unreadable";
  }
  return "unreadable";
}

const char* ChainStateName(ChainState state) {
  switch (state) {
    case ChainState::Unknown: return "unknown";
    case ChainState::SelfSigned: return "self-signed";
    case ChainState::ToStoredRoot: return "to a stored root";
    case ChainState::IssuerNotIncluded: return "issuer not included";
    case ChainState::LinkBroken: return "link broken";
  }
  return "unknown";
}

std::vector<std::string> SignatureSummaryLines(const CabinetSignature& sig) {
  std::vector<std::string> lines;
  switch (sig.State) {
    case SignatureState::NotSigned: lines.push_back("Not signed."); return lines;
    case SignatureState::Intact: lines.push_back("Signed and intact: the cabinet is the one that was signed."); break;
    case SignatureState::ContentChanged: lines.push_back("Signed, but changed: " + sig.Problem + "."); break;
    case SignatureState::SignatureBroken:
      lines.push_back("Signed, but the signature is broken: " + sig.Problem + ".");
      break;
    case SignatureState::NotChecked:
      lines.push_back("Signed; the content was not checked: " + sig.Problem + ".");
      break;
    case SignatureState::Unreadable: lines.push_back("The signature cannot be read: " + sig.Problem + "."); break;
  }
  auto date = [](const CertificateDate& d) { return d.Valid ? d.Text : "not a valid date (\"" + d.Text + "\")"; };
  if (const CertificateInfo* signer = sig.signer()) {
    lines.push_back("Signer:  " + signer->Subject);
    lines.push_back("Issuer:  " + signer->Issuer);
    lines.push_back("Serial:  " + signer->Serial);
    lines.push_back("Valid:   " + date(signer->NotBefore) + " to " + date(signer->NotAfter));
  } else if (!sig.SignerIssuer.empty() || !sig.SignerSerial.empty()) {
    lines.push_back("Signer:  certificate not stored in the signature");
    lines.push_back("Issuer:  " + sig.SignerIssuer);
    lines.push_back("Serial:  " + sig.SignerSerial);
  }
  if (!sig.DigestAlgorithm.empty()) {
    std::string digest = "Digest:  " + sig.DigestAlgorithm + " " + sig.SignedDigest;
    if (sig.ContentMatches == true) digest += " (matches the cabinet)";
    if (sig.ContentMatches == false) digest += " (the cabinet's is " + sig.ComputedDigest + ")";
    lines.push_back(digest);
  }
  if (sig.SignerIndex >= 0) {
    std::string chain = "Chain:   ";
    const CertificateInfo& top = sig.Certificates[static_cast<size_t>(sig.ChainPath.back())];
    switch (sig.Chain) {
      case ChainState::SelfSigned: chain += "self-signed"; break;
      case ChainState::ToStoredRoot:
        chain += Format("%zu certificates up to the root ", sig.ChainPath.size()) + top.Subject +
                 " (stored in the signature)";
        break;
      case ChainState::IssuerNotIncluded: chain += "issued by " + top.Issuer + " (not stored in the signature)"; break;
      case ChainState::LinkBroken:
        chain += "the key of " + top.Subject + " does not verify the certificate below it";
        break;
      case ChainState::Unknown: chain += "unknown"; break;
    }
    lines.push_back(chain);
  }
  if (!sig.Certificates.empty()) lines.push_back(Format("Stored:  %zu certificate(s)", sig.Certificates.size()));
  return lines;
}

std::vector<std::pair<std::string, std::string>> SignatureItems(const CabinetSignature& signature) {
  std::vector<std::pair<std::string, std::string>> items;
  for (const std::string& line : SignatureSummaryLines(signature)) {
    // Every line after the first is "Label:" and the value after the blanks that align it.
    const size_t colon = items.empty() ? std::string::npos : line.find(':');
    if (colon == std::string::npos) {
      items.emplace_back("Signature", line);
      continue;
    }
    const size_t value = line.find_first_not_of(' ', colon + 1);
    items.emplace_back(line.substr(0, colon), value == std::string::npos ? std::string() : line.substr(value));
  }
  return items;
}

}  // namespace vornix

#include "signature/cab_signature.h"

#include <openssl/asn1.h>
#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/pkcs7.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cctype>
#include <ctime>
#include <memory>
#include <set>
#include <string_view>

#include "common/text.h"
#include "signature/signature_check.h"

namespace vornix {
namespace {

// Authenticode's SpcIndirectDataContent.
constexpr const char* kSpcIndirectDataOid = "1.3.6.1.4.1.311.2.1.4";

// ---------------------------------------------------------------------------
// OpenSSL objects freed however a step ends

template <class T, void (*Free)(T*)>
struct Freer {
  void operator()(T* p) const { Free(p); }
};
using Pkcs7Ptr = std::unique_ptr<PKCS7, Freer<PKCS7, PKCS7_free>>;
using BioPtr = std::unique_ptr<BIO, Freer<BIO, BIO_free_all>>;
using BignumPtr = std::unique_ptr<BIGNUM, Freer<BIGNUM, BN_free>>;
using X509SigPtr = std::unique_ptr<X509_SIG, Freer<X509_SIG, X509_SIG_free>>;
using MdCtxPtr = std::unique_ptr<EVP_MD_CTX, Freer<EVP_MD_CTX, EVP_MD_CTX_free>>;

void FreeTypes(ASN1_SEQUENCE_ANY* s) { sk_ASN1_TYPE_pop_free(s, ASN1_TYPE_free); }
using TypesPtr = std::unique_ptr<ASN1_SEQUENCE_ANY, Freer<ASN1_SEQUENCE_ANY, FreeTypes>>;

struct OpenSslFree {
  void operator()(void* p) const { OPENSSL_free(p); }
};

// ---------------------------------------------------------------------------
// Texts of certificate fields

std::string Hex(const unsigned char* p, size_t n) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(n * 2);
  for (size_t i = 0; i < n; ++i) {
    out += kDigits[p[i] >> 4];
    out += kDigits[p[i] & 0x0F];
  }
  return out;
}

std::string NameText(const X509_NAME* name) {
  if (!name) return {};
  // Most specific part first, ", " between parts, UTF-8 kept, controls escaped.
  constexpr unsigned long kFlags =
      XN_FLAG_SEP_CPLUS_SPC | XN_FLAG_DN_REV | XN_FLAG_FN_SN | (ASN1_STRFLGS_RFC2253 & ~ASN1_STRFLGS_ESC_MSB);
  BioPtr bio(BIO_new(BIO_s_mem()));
  if (!bio || X509_NAME_print_ex(bio.get(), name, 0, kFlags) < 0) return {};
  char* data = nullptr;
  const long n = BIO_get_mem_data(bio.get(), &data);
  return n > 0 ? std::string(data, static_cast<size_t>(n)) : std::string();
}

std::string CommonNameOf(const X509_NAME* name) {
  if (!name) return {};
  int last = -1;
  for (int i = X509_NAME_get_index_by_NID(name, NID_commonName, -1); i >= 0;
       i = X509_NAME_get_index_by_NID(name, NID_commonName, i)) {
    last = i;
  }
  if (last < 0) return {};
  unsigned char* utf8 = nullptr;
  const int n = ASN1_STRING_to_UTF8(&utf8, X509_NAME_ENTRY_get_data(X509_NAME_get_entry(name, last)));
  if (n < 0) return {};
  std::unique_ptr<unsigned char, OpenSslFree> owner(utf8);
  return std::string(reinterpret_cast<const char*>(utf8), static_cast<size_t>(n));
}

std::string SerialText(const ASN1_INTEGER* serial) {
  if (!serial) return {};
  BignumPtr bn(ASN1_INTEGER_to_BN(serial, nullptr));
  if (!bn) return {};
  std::unique_ptr<char, OpenSslFree> hex(BN_bn2hex(bn.get()));
  return hex ? std::string(hex.get()) : std::string();
}

// Printable ASCII of stored bytes, for a value that is not what it claims to be.
std::string StoredCharacters(const ASN1_STRING* s) {
  std::string out;
  if (!s) return out;
  const unsigned char* p = ASN1_STRING_get0_data(s);
  for (int i = 0; i < ASN1_STRING_length(s) && i < 64; ++i) out += (p[i] >= 0x20 && p[i] < 0x7F) ? char(p[i]) : '?';
  return out;
}

CertificateDate DateOf(const ASN1_TIME* t) {
  CertificateDate d;
  std::tm tm{};
  if (t && ASN1_TIME_check(t) == 1 && ASN1_TIME_to_tm(t, &tm) == 1) {
    char text[40];
    if (std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &tm) > 0) {
      d.Valid = true;
      d.Text = text;
      return d;
    }
  }
  d.Text = StoredCharacters(t);
  return d;
}

std::string AlgorithmName(const ASN1_OBJECT* obj) {
  if (!obj) return {};
  const int nid = OBJ_obj2nid(obj);
  if (nid != NID_undef) return OBJ_nid2sn(nid);
  char text[80];
  const int n = OBJ_obj2txt(text, sizeof text, obj, 1);
  return n > 0 ? std::string(text, static_cast<size_t>(std::min<int>(n, sizeof text - 1))) : std::string();
}

CertificateInfo Describe(X509* x) {
  CertificateInfo c;
  c.Subject = NameText(X509_get_subject_name(x));
  c.Issuer = NameText(X509_get_issuer_name(x));
  c.CommonName = CommonNameOf(X509_get_subject_name(x));
  c.Serial = SerialText(X509_get0_serialNumber(x));
  c.NotBefore = DateOf(X509_get0_notBefore(x));
  c.NotAfter = DateOf(X509_get0_notAfter(x));
  const X509_ALGOR* alg = nullptr;
  X509_get0_signature(nullptr, &alg, x);
  if (alg) {
    const ASN1_OBJECT* obj = nullptr;
    X509_ALGOR_get0(&obj, nullptr, nullptr, alg);
    if (obj) {
      const int nid = OBJ_obj2nid(obj);
      c.SignatureAlgorithm = nid != NID_undef ? OBJ_nid2ln(nid) : AlgorithmName(obj);
    }
  }
  // MD5-RSA links are verified like any other: X509_verify applies no
  // security level, only a chain verification would refuse them.
  c.SelfSigned = X509_self_signed(x, 1) == 1;
  return c;
}

// The chain from the signer up, over the stored certificates only. Whether
// the root deserves trust is a separate question from integrity.
void WalkChain(STACK_OF(X509) * certs, CabinetSignature& sig) {
  if (sig.SignerIndex < 0) return;
  int current = sig.SignerIndex;
  std::set<int> seen;
  while (true) {
    sig.ChainPath.push_back(current);
    seen.insert(current);
    if (sig.Certificates[static_cast<size_t>(current)].SelfSigned) {
      sig.Chain = current == sig.SignerIndex ? ChainState::SelfSigned : ChainState::ToStoredRoot;
      return;
    }
    X509* cert = sk_X509_value(certs, current);
    int issuer = -1;
    for (int i = 0; i < sk_X509_num(certs) && issuer < 0; ++i) {
      if (i != current && !seen.count(i) && X509_check_issued(sk_X509_value(certs, i), cert) == X509_V_OK) issuer = i;
    }
    if (issuer < 0) {
      sig.Chain = ChainState::IssuerNotIncluded;
      return;
    }
    if (X509_verify(cert, X509_get0_pubkey(sk_X509_value(certs, issuer))) != 1) {
      sig.ChainPath.push_back(issuer);
      sig.Chain = ChainState::LinkBroken;
      return;
    }
    current = issuer;
  }
}

// ---------------------------------------------------------------------------
// The content

// The bytes the signing tool hashes, established on signed cabinets (vendor
// chains and self-signed ones alike; a one-byte change in a data block breaks
// it): the cabinet from its first byte up to the signature, leaving out
//   bytes  4..7   the header's reserved field,
//   bytes 34..35  iCabinet,
//   bytes 36..39  the reserve sizes (cbCFHeader, cbCFFolder, cbCFData),
//   bytes 40..55  the first 16 bytes of the header reserve (marker, the
//                 signature's offset and size, 4 more bytes).
// Bytes 8..33 (cbCabinet included) and everything from 56 on are hashed in
// one piece: the rest of the header reserve, the folder records with their
// whole reserves (they carry the processor, the application name and the
// provider, not digests), the file records and the data blocks. The rule is
// only known for a 20-byte header reserve, a cabinet outside any set, and a
// signature that follows the cabinet data directly; the caller checks that.
std::optional<std::string> ContentDigest(std::span<const uint8_t> file, uint32_t signatureOffset, const EVP_MD* md) {
  struct Range {
    size_t from, to;
  };
  const Range ranges[] = {{0, 4}, {8, 34}, {56, signatureOffset}};
  MdCtxPtr ctx(EVP_MD_CTX_new());
  if (!ctx || EVP_DigestInit_ex(ctx.get(), md, nullptr) != 1) return std::nullopt;
  for (const Range& r : ranges) {
    if (r.to > file.size() || r.from > r.to) return std::nullopt;
    if (EVP_DigestUpdate(ctx.get(), file.data() + r.from, r.to - r.from) != 1) return std::nullopt;
  }
  unsigned char out[EVP_MAX_MD_SIZE];
  unsigned int n = 0;
  if (EVP_DigestFinal_ex(ctx.get(), out, &n) != 1) return std::nullopt;
  return Hex(out, n);
}

std::optional<std::string> DigestOf(const EVP_MD* md, const unsigned char* p, size_t n) {
  unsigned char out[EVP_MAX_MD_SIZE];
  unsigned int len = 0;
  if (EVP_Digest(p, n, out, &len, md, nullptr) != 1) return std::nullopt;
  return Hex(out, len);
}

// The value of a DER element without its tag and length, which is what the
// messageDigest attribute covers.
std::optional<std::string_view> ElementValue(const ASN1_STRING* element) {
  if (!element || element->length <= 0) return std::nullopt;
  const unsigned char* p = element->data;
  long length = 0;
  int tag = 0, cls = 0;
  const int ret = ASN1_get_object(&p, &length, &tag, &cls, element->length);
  if ((ret & 0x80) || (ret & 0x01)) return std::nullopt;  // an error, or an indefinite length
  const long header = p - element->data;
  if (length < 0 || length > element->length - header) return std::nullopt;
  return std::string_view(reinterpret_cast<const char*>(p), static_cast<size_t>(length));
}

CabinetSignature Unreadable(CabinetSignature sig, std::string problem) {
  sig.State = SignatureState::Unreadable;
  sig.Problem = std::move(problem);
  return sig;
}

// The certificate the signer information names; its index goes to `sig`.
X509* FindSignerCertificate(STACK_OF(X509) * certs, PKCS7_SIGNER_INFO* si, CabinetSignature& sig) {
  for (int i = 0; i < sk_X509_num(certs); ++i) {
    X509* x = sk_X509_value(certs, i);
    if (X509_NAME_cmp(X509_get_issuer_name(x), si->issuer_and_serial->issuer) == 0 &&
        ASN1_INTEGER_cmp(X509_get0_serialNumber(x), si->issuer_and_serial->serial) == 0) {
      sig.SignerIndex = i;
      return x;
    }
  }
  return nullptr;
}

// The cabinet's bytes against the signed digest, where the rule is known;
// why they were not checked, or empty when they were.
std::string CheckContent(std::span<const uint8_t> file, const SignatureHeader& header, const ASN1_OBJECT* digestObj,
                         CabinetSignature& sig) {
  const uint16_t flags = header.Flags;
  const uint16_t headerReserve = header.HeaderReserve;
  const uint32_t cabinetSize = header.CabinetSize;
  std::string notChecked;
  const EVP_MD* contentMd = digestObj ? EVP_get_digestbyobj(digestObj) : nullptr;
  if (!contentMd) {
    notChecked = "the digest algorithm " + sig.DigestAlgorithm + " is not known";
  } else if (flags & kCabFlagPrevNext) {
    notChecked = "the cabinet belongs to a set of cabinets";
  } else if (headerReserve != kSignatureReserveSize) {
    notChecked = Format("the header reserves %u bytes instead of 20", headerReserve);
  } else if (sig.Offset != cabinetSize) {
    notChecked = Format("the signature (at %u) does not follow the cabinet data (size %u)", sig.Offset, cabinetSize);
  } else if (auto computed = ContentDigest(file, sig.Offset, contentMd)) {
    sig.ComputedDigest = *computed;
    sig.ContentMatches = *computed == sig.SignedDigest;
  } else {
    notChecked = "the cabinet's digest could not be computed";
  }
  return notChecked;
}

// The signed attributes against the content, and the signer's signature
// over them; `notChecked` says why not when it does not say so yet. False
// when the signed content cannot be read.
bool CheckSigner(PKCS7_SIGNER_INFO* si, X509* signerCert, const ASN1_STRING* indirect, CabinetSignature& sig,
                 std::string& notChecked) {
  const EVP_MD* signerMd = EVP_get_digestbyobj(si->digest_alg->algorithm);
  const auto contentValue = ElementValue(indirect);
  if (!signerMd) {
    if (notChecked.empty())
      notChecked = "the signer's digest algorithm " + AlgorithmName(si->digest_alg->algorithm) + " is not known";
  } else if (!contentValue) {
    return false;
  } else {
    std::string signedBytes;
    if (sk_X509_ATTRIBUTE_num(si->auth_attr) > 0) {
      const ASN1_OCTET_STRING* md = PKCS7_digest_from_attributes(si->auth_attr);
      const auto hashed =
          DigestOf(signerMd, reinterpret_cast<const unsigned char*>(contentValue->data()), contentValue->size());
      sig.MessageDigestMatches =
          md && hashed && *hashed == Hex(ASN1_STRING_get0_data(md), static_cast<size_t>(ASN1_STRING_length(md)));
      // The signature covers the attributes encoded as a SET, not as the [0] they are stored with.
      unsigned char* encoded = nullptr;
      const int n =
          ASN1_item_i2d(reinterpret_cast<ASN1_VALUE*>(si->auth_attr), &encoded, ASN1_ITEM_rptr(PKCS7_ATTR_VERIFY));
      if (n > 0) {
        std::unique_ptr<unsigned char, OpenSslFree> owner(encoded);
        signedBytes.assign(reinterpret_cast<const char*>(encoded), static_cast<size_t>(n));
      }
    } else {
      signedBytes.assign(contentValue->data(), contentValue->size());  // no attributes: the content itself
    }
    if (signerCert && !signedBytes.empty()) {
      MdCtxPtr ctx(EVP_MD_CTX_new());
      EVP_PKEY* key = X509_get0_pubkey(signerCert);
      sig.SignatureVerifies =
          ctx && key && EVP_DigestVerifyInit(ctx.get(), nullptr, signerMd, nullptr, key) == 1 &&
          EVP_DigestVerify(ctx.get(), ASN1_STRING_get0_data(si->enc_digest),
                           static_cast<size_t>(ASN1_STRING_length(si->enc_digest)),
                           reinterpret_cast<const unsigned char*>(signedBytes.data()), signedBytes.size()) == 1;
    } else if (!signerCert && notChecked.empty()) {
      notChecked = "the signer's certificate is not in the signature";
    }
  }
  return true;
}

// The state the checks come to, with its reason.
void SettleState(CabinetSignature& sig, const std::string& notChecked) {
  if (sig.ContentMatches == false) {
    sig.State = SignatureState::ContentChanged;
    sig.Problem = "the cabinet's bytes are not the bytes that were signed";
  } else if (sig.MessageDigestMatches == false) {
    sig.State = SignatureState::SignatureBroken;
    sig.Problem = "the signed attributes do not match the signed content";
  } else if (sig.SignatureVerifies == false) {
    sig.State = SignatureState::SignatureBroken;
    sig.Problem = "the signer's signature does not verify with the signer's certificate";
  } else if (!notChecked.empty() || !sig.ContentMatches || !sig.SignatureVerifies) {
    sig.State = SignatureState::NotChecked;
    sig.Problem = notChecked.empty() ? "the signature could not be checked" : notChecked;
  } else {
    sig.State = SignatureState::Intact;
  }
}

}  // namespace

CabinetSignature CheckCabinetSignature(std::span<const uint8_t> file, const SignatureHeader& header,
                                       CabinetSignature sig) {
  // OpenSSL queues an error for every refusal on hostile bytes; none may
  // outlive the reading and confuse a later caller.
  struct ClearErrors {
    ~ClearErrors() { ERR_clear_error(); }
  } clearErrors;
  const unsigned char* p = file.data() + sig.Offset;
  // Signing tools pad the blob to a round size: bytes after the structure are allowed.
  Pkcs7Ptr p7(d2i_PKCS7(nullptr, &p, static_cast<long>(sig.Size)));
  if (!p7) return Unreadable(sig, "the signature area does not hold a PKCS#7 structure");
  if (!PKCS7_type_is_signed(p7.get()) || !p7->d.sign) return Unreadable(sig, "the PKCS#7 structure is not signed data");
  PKCS7_SIGNED* signedData = p7->d.sign;

  // Certificates as stored, the signer among them, and the chain.
  STACK_OF(X509)* certs = signedData->cert;
  for (int i = 0; i < sk_X509_num(certs); ++i) sig.Certificates.push_back(Describe(sk_X509_value(certs, i)));
  STACK_OF(PKCS7_SIGNER_INFO)* signers = signedData->signer_info;
  if (sk_PKCS7_SIGNER_INFO_num(signers) != 1)
    return Unreadable(sig,
                      Format("the signature names %d signers; one is expected", sk_PKCS7_SIGNER_INFO_num(signers)));
  PKCS7_SIGNER_INFO* si = sk_PKCS7_SIGNER_INFO_value(signers, 0);
  if (!si || !si->issuer_and_serial || !si->digest_alg || !si->enc_digest)
    return Unreadable(sig, "the signer information is incomplete");
  sig.SignerIssuer = NameText(si->issuer_and_serial->issuer);
  sig.SignerSerial = SerialText(si->issuer_and_serial->serial);
  X509* signerCert = FindSignerCertificate(certs, si, sig);
  if (signerCert) sig.SelfSigned = sig.Certificates[static_cast<size_t>(sig.SignerIndex)].SelfSigned;
  WalkChain(certs, sig);

  // The signed content: SpcIndirectDataContent { data, DigestInfo }.
  PKCS7* content = signedData->contents;
  char oid[64] = {};
  if (!content || !content->type || OBJ_obj2txt(oid, sizeof oid, content->type, 1) <= 0 ||
      std::string_view(oid) != kSpcIndirectDataOid || !content->d.other || content->d.other->type != V_ASN1_SEQUENCE ||
      !content->d.other->value.sequence)
    return Unreadable(sig, "the signed content is not Authenticode indirect data");
  const ASN1_STRING* indirect = content->d.other->value.sequence;
  const unsigned char* q = indirect->data;
  TypesPtr items(d2i_ASN1_SEQUENCE_ANY(nullptr, &q, indirect->length));
  if (!items || sk_ASN1_TYPE_num(items.get()) < 2 || sk_ASN1_TYPE_value(items.get(), 1)->type != V_ASN1_SEQUENCE)
    return Unreadable(sig, "the signed content cannot be read");
  const ASN1_STRING* digestInfo = sk_ASN1_TYPE_value(items.get(), 1)->value.sequence;
  q = digestInfo->data;
  X509SigPtr digest(d2i_X509_SIG(nullptr, &q, digestInfo->length));
  if (!digest) return Unreadable(sig, "the signed digest cannot be read");
  const X509_ALGOR* digestAlg = nullptr;
  const ASN1_OCTET_STRING* signedDigest = nullptr;
  X509_SIG_get0(digest.get(), &digestAlg, &signedDigest);
  const ASN1_OBJECT* digestObj = nullptr;
  X509_ALGOR_get0(&digestObj, nullptr, nullptr, digestAlg);
  sig.DigestAlgorithm = AlgorithmName(digestObj);
  sig.SignedDigest = Hex(ASN1_STRING_get0_data(signedDigest), static_cast<size_t>(ASN1_STRING_length(signedDigest)));

  // 1. The cabinet's bytes against the signed digest, where the rule is known.
  std::string notChecked = CheckContent(file, header, digestObj, sig);

  // 2. The signed attributes against the content, and the signer's signature over them.
  if (!CheckSigner(si, signerCert, indirect, sig, notChecked))
    return Unreadable(sig, "the signed content cannot be read");

  SettleState(sig, notChecked);
  return sig;
}
std::string Sha256Hex(std::span<const uint8_t> bytes) {
  std::string hex = DigestOf(EVP_sha256(), bytes.data(), bytes.size()).value_or("");
  for (char& c : hex) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return hex;
}

}  // namespace vornix

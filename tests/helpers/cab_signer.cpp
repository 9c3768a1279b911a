#include "helpers/cab_signer.h"

#include <openssl/asn1.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/pkcs7.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

#include <memory>
#include <random>
#include <stdexcept>

namespace vornix::testing {
namespace {

template <class T, void (*Free)(T*)>
struct Freer {
  void operator()(T* p) const { Free(p); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, Freer<EVP_PKEY, EVP_PKEY_free>>;
using CertPtr = std::unique_ptr<X509, Freer<X509, X509_free>>;
using Pkcs7Ptr = std::unique_ptr<PKCS7, Freer<PKCS7, PKCS7_free>>;

void Check(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string("signing a test cabinet: ") + what);
}

// Keys are slow to make; every signature of a run shares these two.
EVP_PKEY* Key(int which) {
  static KeyPtr keys[2] = {KeyPtr(EVP_RSA_gen(1024)), KeyPtr(EVP_RSA_gen(1024))};
  Check(keys[which] != nullptr, "no RSA key");
  return keys[which].get();
}

CertPtr Certificate(const std::string& commonName, long serial, EVP_PKEY* key, X509* issuer, EVP_PKEY* issuerKey,
                    bool brokenNotAfter) {
  CertPtr x(X509_new());
  Check(x && X509_set_version(x.get(), 2) && ASN1_INTEGER_set(X509_get_serialNumber(x.get()), serial), "certificate");
  X509_NAME* name = X509_get_subject_name(x.get());
  Check(X509_NAME_add_entry_by_txt(name, "O", MBSTRING_UTF8, reinterpret_cast<const unsigned char*>("Vornix Tests"), -1,
                                   -1, 0) &&
            X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8,
                                       reinterpret_cast<const unsigned char*>(commonName.c_str()), -1, -1, 0),
        "name");
  Check(X509_set_issuer_name(x.get(), issuer ? X509_get_subject_name(issuer) : name), "issuer");
  Check(ASN1_TIME_set_string(X509_getm_notBefore(x.get()), "20090101030000Z") &&
            ASN1_TIME_set_string(X509_getm_notAfter(x.get()), "20390101030000Z"),
        "dates");
  if (brokenNotAfter) Check(ASN1_STRING_set(X509_getm_notAfter(x.get()), "20391399999999Z", -1), "broken date");
  Check(X509_set_pubkey(x.get(), key) && X509_sign(x.get(), issuerKey ? issuerKey : key, EVP_sha256()) > 0, "sign");
  return x;
}

std::string Der(ASN1_SEQUENCE_ANY* items) {
  unsigned char* out = nullptr;
  const int n = i2d_ASN1_SEQUENCE_ANY(items, &out);
  Check(n > 0, "encoding");
  std::string der(reinterpret_cast<char*>(out), static_cast<size_t>(n));
  OPENSSL_free(out);
  return der;
}

void PushSequence(ASN1_SEQUENCE_ANY* items, const std::string& der) {
  ASN1_STRING* s = ASN1_STRING_type_new(V_ASN1_SEQUENCE);
  ASN1_TYPE* t = ASN1_TYPE_new();
  Check(s && t && ASN1_STRING_set(s, der.data(), static_cast<int>(der.size())), "sequence");
  ASN1_TYPE_set(t, V_ASN1_SEQUENCE, s);
  sk_ASN1_TYPE_push(items, t);
}

void FreeTypes(ASN1_SEQUENCE_ANY* s) { sk_ASN1_TYPE_pop_free(s, ASN1_TYPE_free); }
using TypesPtr = std::unique_ptr<ASN1_SEQUENCE_ANY, Freer<ASN1_SEQUENCE_ANY, FreeTypes>>;

// SpcIndirectDataContent { SpcAttributeTypeAndOptionalValue { cabinet data }, DigestInfo { SHA-1, digest } }.
std::string IndirectData(const unsigned char* digest, unsigned int length) {
  TypesPtr data(sk_ASN1_TYPE_new_null());
  ASN1_TYPE* oid = ASN1_TYPE_new();
  Check(data && oid, "indirect data");
  ASN1_TYPE_set(oid, V_ASN1_OBJECT, OBJ_txt2obj("1.3.6.1.4.1.311.2.1.25", 1));
  sk_ASN1_TYPE_push(data.get(), oid);

  std::unique_ptr<X509_SIG, Freer<X509_SIG, X509_SIG_free>> info(X509_SIG_new());
  X509_ALGOR* alg = nullptr;
  ASN1_OCTET_STRING* value = nullptr;
  X509_SIG_getm(info.get(), &alg, &value);
  Check(X509_ALGOR_set0(alg, OBJ_nid2obj(NID_sha1), V_ASN1_NULL, nullptr) &&
            ASN1_OCTET_STRING_set(value, digest, static_cast<int>(length)),
        "digest info");
  unsigned char* infoDer = nullptr;
  const int infoLength = i2d_X509_SIG(info.get(), &infoDer);
  Check(infoLength > 0, "digest info");
  const std::string infoText(reinterpret_cast<char*>(infoDer), static_cast<size_t>(infoLength));
  OPENSSL_free(infoDer);

  TypesPtr outer(sk_ASN1_TYPE_new_null());
  PushSequence(outer.get(), Der(data.get()));
  PushSequence(outer.get(), infoText);
  return Der(outer.get());
}

void PutU32(std::string& bytes, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

}  // namespace

CabBuilder& ReserveForSigning(CabBuilder& builder, uint8_t perFolder) { return builder.reserve(20, perFolder, 0); }

SignedCabinet SignCabinet(const std::string& cabinet, const SigningOptions& options) {
  Check(cabinet.size() > 60 && (static_cast<uint8_t>(cabinet[30]) & 0x04) && cabinet[36] == 20 && cabinet[37] == 0,
        "the cabinet has no 20-byte header reserve");
  SignedCabinet out;
  out.bytes = cabinet;
  std::string& b = out.bytes;
  out.blobOffset = b.size();
  // The reserve: marker, offset and size (patched below), 8 zero bytes.
  b.replace(40, 20, std::string("\x00\x00\x10\x00", 4) + std::string(16, '\0'));

  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int digestLength = 0;
  {
    std::unique_ptr<EVP_MD_CTX, Freer<EVP_MD_CTX, EVP_MD_CTX_free>> ctx(EVP_MD_CTX_new());
    Check(ctx && EVP_DigestInit_ex(ctx.get(), EVP_sha1(), nullptr) && EVP_DigestUpdate(ctx.get(), b.data(), 4) &&
              EVP_DigestUpdate(ctx.get(), b.data() + 8, 26) &&
              EVP_DigestUpdate(ctx.get(), b.data() + 56, b.size() - 56) &&
              EVP_DigestFinal_ex(ctx.get(), digest, &digestLength),
          "digest");
  }

  EVP_PKEY* signerKey = Key(0);
  CertPtr root, signer;
  if (options.chain == SignerChain::SelfSigned) {
    signer = Certificate(options.commonName, 1001, signerKey, nullptr, nullptr, options.brokenNotAfter);
  } else {
    root = Certificate("Vornix Test Root", 1, Key(1), nullptr, nullptr, false);
    signer = Certificate(options.commonName, 1002, signerKey, root.get(), Key(1), options.brokenNotAfter);
  }

  Pkcs7Ptr p7(PKCS7_new());
  Check(p7 && PKCS7_set_type(p7.get(), NID_pkcs7_signed), "signed data");
  PKCS7_SIGNER_INFO* si = PKCS7_add_signature(p7.get(), signer.get(), signerKey, EVP_sha1());
  Check(si && PKCS7_add_certificate(p7.get(), signer.get()), "signer");
  if (options.chain == SignerChain::ToStoredRoot) Check(PKCS7_add_certificate(p7.get(), root.get()), "root");

  const std::string indirect = IndirectData(digest, digestLength);
  PKCS7* content = PKCS7_new();
  ASN1_STRING* value = ASN1_STRING_type_new(V_ASN1_SEQUENCE);
  Check(content && value && ASN1_STRING_set(value, indirect.data(), static_cast<int>(indirect.size())), "content");
  ASN1_OBJECT_free(content->type);
  content->type = OBJ_txt2obj("1.3.6.1.4.1.311.2.1.4", 1);
  content->d.other = ASN1_TYPE_new();
  ASN1_TYPE_set(content->d.other, V_ASN1_SEQUENCE, value);
  Check(PKCS7_set_content(p7.get(), content), "content");

  // messageDigest covers the indirect data without its tag and length.
  const unsigned char* p = reinterpret_cast<const unsigned char*>(indirect.data());
  long length = 0;
  int tag = 0, cls = 0;
  Check(!(ASN1_get_object(&p, &length, &tag, &cls, static_cast<long>(indirect.size())) & 0x80), "content value");
  unsigned char md[EVP_MAX_MD_SIZE];
  unsigned int mdLength = 0;
  Check(EVP_Digest(p, static_cast<size_t>(length), md, &mdLength, EVP_sha1(), nullptr) &&
            PKCS7_add_signed_attribute(si, NID_pkcs9_contentType, V_ASN1_OBJECT,
                                       OBJ_txt2obj("1.3.6.1.4.1.311.2.1.4", 1)) &&
            PKCS7_add1_attrib_digest(si, md, static_cast<int>(mdLength)) && PKCS7_SIGNER_INFO_sign(si),
        "signed attributes");

  unsigned char* blob = nullptr;
  const int blobLength = i2d_PKCS7(p7.get(), &blob);
  Check(blobLength > 0, "encoding");
  b.append(reinterpret_cast<char*>(blob), static_cast<size_t>(blobLength));
  OPENSSL_free(blob);
  out.blobDerSize = static_cast<size_t>(blobLength);
  b.append((8 - blobLength % 8) % 8, '\0');  // signing tools pad the blob
  PutU32(b, 44, static_cast<uint32_t>(out.blobOffset));
  PutU32(b, 48, static_cast<uint32_t>(b.size() - out.blobOffset));
  return out;
}

std::string ProgramStub(size_t length, uint32_t seed) {
  std::string out(std::max<size_t>(length, 0x48), '\0');
  out[0] = 'M';
  out[1] = 'Z';
  out[0x3C] = 0x40;  // where the PE header starts
  out.replace(0x40, 4, std::string("PE\0\0", 4));
  std::mt19937 random(seed);
  for (size_t i = 0x48; i < out.size(); ++i) out[i] = static_cast<char>(random() & 0xFF);
  return out;
}

}  // namespace vornix::testing

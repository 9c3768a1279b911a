// Cabinet signatures: cabinets signed by the test builder (self-signed, with
// a stored root, with the root left out), the real signed samples, changed
// copies of both, and signature areas that lie.

#include <gtest/gtest.h>

#include <filesystem>
#include <span>

#include "common/host_fs.h"
#include "helpers/cab_builder.h"
#include "helpers/cab_signer.h"
#include "signature/cab_signature.h"

namespace fs = std::filesystem;

namespace vornix {
namespace {

using testing::CabBuilder;
using testing::CabCompression;
using testing::PatchU32;
using testing::SignCabinet;
using testing::SignerChain;
using testing::SigningOptions;

CabinetSignature Read(const std::string& bytes) {
  return ReadCabinetSignature(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

std::string Unsigned(uint8_t perFolder = 48) {
  CabBuilder b;
  testing::ReserveForSigning(b, perFolder);
  b.folder(CabCompression::MSZIP).add("APP~1.000", "MSCE setup").add("APP~1.001", testing::PseudoText(5000, 3));
  b.folder(CabCompression::None).add("APP~1.002", "second folder");
  return b.bytes();
}

char Flipped(char c) { return static_cast<char>(c ^ 0x01); }

TEST(CabSignatureTest, SelfSignedCabinetIsIntactWithItsSigner) {
  const testing::SignedCabinet signed_ = SignCabinet(Unsigned());
  const CabinetSignature s = Read(signed_.bytes);
  EXPECT_EQ(s.State, SignatureState::Intact) << s.Problem;
  EXPECT_EQ(s.Offset, signed_.blobOffset);
  EXPECT_EQ(s.Size, signed_.bytes.size() - signed_.blobOffset);
  EXPECT_EQ(s.DigestAlgorithm, "SHA1");
  EXPECT_EQ(s.ComputedDigest, s.SignedDigest);
  EXPECT_EQ(s.MessageDigestMatches, true);
  EXPECT_EQ(s.SignatureVerifies, true);
  ASSERT_NE(s.signer(), nullptr);
  EXPECT_EQ(s.signer()->Subject, "CN=Vornix Test Signer, O=Vornix Tests");
  EXPECT_EQ(s.signer()->Issuer, "CN=Vornix Test Signer, O=Vornix Tests");
  EXPECT_EQ(s.signer()->CommonName, "Vornix Test Signer");
  EXPECT_EQ(s.signer()->Serial, "03E9");
  EXPECT_EQ(s.signer()->NotBefore.Text, "2009-01-01 03:00:00 UTC");
  EXPECT_EQ(s.signer()->NotAfter.Text, "2039-01-01 03:00:00 UTC");
  EXPECT_TRUE(s.SelfSigned);
  EXPECT_EQ(s.Chain, ChainState::SelfSigned);
}

TEST(CabSignatureTest, ChainsAreFollowedOverTheStoredCertificatesOnly) {
  SigningOptions options;
  options.chain = SignerChain::ToStoredRoot;
  CabinetSignature s = Read(SignCabinet(Unsigned(), options).bytes);
  EXPECT_EQ(s.State, SignatureState::Intact) << s.Problem;
  EXPECT_FALSE(s.SelfSigned);
  EXPECT_EQ(s.Chain, ChainState::ToStoredRoot);
  EXPECT_EQ(s.ChainPath, (std::vector<int>{0, 1}));
  EXPECT_EQ(s.Certificates.at(1).Subject, "CN=Vornix Test Root, O=Vornix Tests");

  options.chain = SignerChain::RootNotStored;
  s = Read(SignCabinet(Unsigned(), options).bytes);
  EXPECT_EQ(s.State, SignatureState::Intact) << s.Problem;  // trust in a root is not integrity
  EXPECT_EQ(s.Chain, ChainState::IssuerNotIncluded);
  EXPECT_EQ(s.signer()->Issuer, "CN=Vornix Test Root, O=Vornix Tests");
}

TEST(CabSignatureTest, OneChangedByteInTheCabinetIsFound) {
  const testing::SignedCabinet signed_ = SignCabinet(Unsigned());
  // Every byte the digest covers, sampled: header counts, folder reserve, file
  // records, data. Bytes the rule leaves out (reserved, iCabinet) stay intact.
  for (size_t at : {size_t{26}, size_t{57}, size_t{70}, size_t{200}, signed_.blobOffset - 1}) {
    std::string changed = signed_.bytes;
    changed[at] = Flipped(changed[at]);
    const CabinetSignature s = Read(changed);
    EXPECT_EQ(s.State, SignatureState::ContentChanged) << "byte " << at;
    EXPECT_EQ(s.ContentMatches, false) << "byte " << at;
    EXPECT_NE(s.ComputedDigest, s.SignedDigest);
  }
  for (size_t at : {size_t{5}, size_t{34}}) {
    std::string changed = signed_.bytes;
    changed[at] = Flipped(changed[at]);
    EXPECT_EQ(Read(changed).State, SignatureState::Intact) << "byte " << at;
  }
}

TEST(CabSignatureTest, ASignatureThatDoesNotVerifyIsBrokenEvenWithTheRightDigest) {
  const testing::SignedCabinet signed_ = SignCabinet(Unsigned());
  std::string changed = signed_.bytes;
  const size_t last = signed_.blobOffset + signed_.blobDerSize - 1;  // inside the RSA signature
  changed[last] = Flipped(changed[last]);
  const CabinetSignature s = Read(changed);
  EXPECT_EQ(s.State, SignatureState::SignatureBroken);
  EXPECT_EQ(s.ContentMatches, true);
  EXPECT_EQ(s.SignatureVerifies, false);
  EXPECT_EQ(s.Problem, "the signer's signature does not verify with the signer's certificate");
}

TEST(CabSignatureTest, UnsignedCabinetsAndOtherReservesAreNotSigned) {
  EXPECT_EQ(Read(CabBuilder().add("a.txt", "x").bytes()).State, SignatureState::NotSigned);
  // A header reserve that does not start with the marker (as setup tools use it).
  CabBuilder b;
  b.reserve(24, 0, 0).add("a.txt", "x");
  EXPECT_EQ(Read(b.bytes()).State, SignatureState::NotSigned);
  EXPECT_EQ(SignatureSummaryLines(Read(b.bytes())), std::vector<std::string>{"Not signed."});
}

TEST(CabSignatureTest, SignatureAreasThatLieAreUnreadable) {
  const testing::SignedCabinet signed_ = SignCabinet(Unsigned());
  const uint32_t size = static_cast<uint32_t>(signed_.bytes.size() - signed_.blobOffset);

  CabinetSignature s = Read(PatchU32(signed_.bytes, 44, 0xFFFFFF00u));
  EXPECT_EQ(s.State, SignatureState::Unreadable);
  EXPECT_EQ(s.Problem, "the signature (offset 4294967040, size " + std::to_string(size) +
                           ") runs past the end of the file (size " + std::to_string(signed_.bytes.size()) + ")");
  s = Read(PatchU32(signed_.bytes, 48, 0xFFFFFFFFu));  // offset + size overflows 32 bits
  EXPECT_EQ(s.State, SignatureState::Unreadable);
  s = Read(PatchU32(signed_.bytes, 44, 20));
  EXPECT_EQ(s.Problem, "the signature's offset 20 lies inside the cabinet header");
  s = Read(testing::Truncated(signed_.bytes, 50));
  EXPECT_EQ(s.Problem, "the cabinet header is cut short");

  // A blob that is not PKCS#7 at all.
  std::string garbage = signed_.bytes.substr(0, signed_.blobOffset) + std::string(size, 'Z');
  s = Read(garbage);
  EXPECT_EQ(s.State, SignatureState::Unreadable);
  EXPECT_EQ(s.Problem, "the signature area does not hold a PKCS#7 structure");
  EXPECT_EQ(SignatureSummaryLines(s).at(0),
            "The signature cannot be read: the signature area does not hold a PKCS#7 structure.");
}

TEST(CabSignatureTest, ACertificateWithABrokenDateIsShownAsSuchAndTheRestIsRead) {
  SigningOptions options;
  options.brokenNotAfter = true;
  const CabinetSignature s = Read(SignCabinet(Unsigned(), options).bytes);
  EXPECT_EQ(s.State, SignatureState::Intact) << s.Problem;
  ASSERT_NE(s.signer(), nullptr);
  EXPECT_TRUE(s.signer()->NotBefore.Valid);
  EXPECT_FALSE(s.signer()->NotAfter.Valid);
  EXPECT_EQ(s.signer()->NotAfter.Text, "20391399999999Z");
  EXPECT_EQ(SignatureSummaryLines(s).at(4),
            "Valid:   2009-01-01 03:00:00 UTC to not a valid date (\"20391399999999Z\")");
}

TEST(CabSignatureTest, LayoutsTheRuleWasNotEstablishedForAreNotChecked) {
  // A cabinet of a set (previous/next flags): the signer is shown, the content is not judged.
  std::string set = SignCabinet(Unsigned()).bytes;
  set[30] = static_cast<char>(set[30] | 0x02);
  CabinetSignature s = Read(set);
  EXPECT_EQ(s.State, SignatureState::NotChecked);
  EXPECT_EQ(s.Problem, "the cabinet belongs to a set of cabinets");
  EXPECT_FALSE(s.ContentMatches.has_value());
  EXPECT_NE(s.signer(), nullptr);
  // A signature that does not follow the cabinet data directly.
  s = Read(PatchU32(SignCabinet(Unsigned()).bytes, 8, 1000));
  EXPECT_EQ(s.State, SignatureState::NotChecked);
}

// ---- The real signed samples ------------------------------------------------

fs::path Sample(const char* name) { return fs::path(VORNIX_SAMPLES_DIR) / name; }

TEST(CabSignatureSamplesTest, VendorChainSelfSignedAndOemSamplesAreIntact) {
  const fs::path vendor = Sample("016_NETCFv35.Messages.EN.wm.cab");
  const fs::path own = Sample("017_Ushahidi.CAB");
  const fs::path oem = Sample("035_03_KBDTools.CAB");
  if (!fs::exists(vendor) || !fs::exists(own) || !fs::exists(oem)) GTEST_SKIP() << "signed samples absent";

  CabinetSignature s = ReadCabinetSignatureFile(vendor);
  EXPECT_EQ(s.State, SignatureState::Intact) << s.Problem;
  ASSERT_NE(s.signer(), nullptr);
  EXPECT_EQ(s.signer()->CommonName, "Microsoft Mobile Device Privileged Publisher");
  EXPECT_EQ(s.signer()->Serial, "6105F90D000000000007");
  EXPECT_EQ(s.signer()->NotBefore.Text, "2005-07-14 16:59:06 UTC");
  EXPECT_EQ(s.signer()->NotAfter.Text, "2007-11-14 17:09:06 UTC");
  EXPECT_EQ(s.Certificates.size(), 7u);
  EXPECT_EQ(s.Chain, ChainState::ToStoredRoot);  // over MD5-RSA links
  EXPECT_EQ(s.Certificates.at(static_cast<size_t>(s.ChainPath.back())).CommonName, "Microsoft Root Authority");

  s = ReadCabinetSignatureFile(own);
  EXPECT_EQ(s.State, SignatureState::Intact) << s.Problem;
  EXPECT_EQ(s.signer()->Subject, "CN=Ushahidi");
  EXPECT_EQ(s.signer()->NotAfter.Text, "2099-01-01 03:00:00 UTC");
  EXPECT_TRUE(s.SelfSigned);
  EXPECT_EQ(s.SignedDigest, "7ab33d5b275b4c78637323a5621b064cdf5fa58b");

  s = ReadCabinetSignatureFile(oem);
  EXPECT_EQ(s.State, SignatureState::Intact) << s.Problem;
  EXPECT_EQ(s.signer()->Subject, "CN=Intermec Technologies - Shared Tech");
  EXPECT_EQ(s.Chain, ChainState::IssuerNotIncluded);
}

TEST(CabSignatureSamplesTest, AChangedCopyOfASignedSampleIsNotIntact) {
  const fs::path own = Sample("017_Ushahidi.CAB");
  if (!fs::exists(own)) GTEST_SKIP() << "signed samples absent";
  std::string bytes = *ReadFileBytes(own);
  bytes[50000] = Flipped(bytes[50000]);  // inside a data block
  const CabinetSignature s = Read(bytes);
  EXPECT_EQ(s.State, SignatureState::ContentChanged);
  EXPECT_EQ(s.SignatureVerifies, true);  // what was signed still verifies; the cabinet is not it
}

}  // namespace
}  // namespace vornix

// Writes the seeds of the signature and scan fuzzers: signed cabinets (each
// kind of chain, a broken certificate date, a blob that is not PKCS#7) into
// the first folder, installers made of a program stub and cabinets into the
// second, so the fuzzers start from valid structure.
//
//   make_signature_seeds fuzz/corpus/signature fuzz/corpus/scan

#include <cstdio>
#include <filesystem>
#include <string>

#include "common/host_fs.h"
#include "helpers/cab_builder.h"
#include "helpers/cab_signer.h"

using namespace vornix::testing;

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s SIGNATURE_DIR SCAN_DIR\n", argv[0]);
    return 2;
  }
  const std::filesystem::path signatures = argv[1], scans = argv[2];
  std::filesystem::create_directories(signatures);
  std::filesystem::create_directories(scans);
  bool ok = true;
  auto write = [&](const std::filesystem::path& file, const std::string& bytes) {
    ok = vornix::WriteFileBytes(file, bytes) && ok;
  };

  CabBuilder b;
  ReserveForSigning(b, 48);
  b.folder(CabCompression::MSZIP).add("APP~1.000", "MSCE").add("APP~1.001", PseudoText(600, 4));
  const std::string cabinet = b.bytes();
  SigningOptions options;
  const SignedCabinet selfSigned = SignCabinet(cabinet, options);
  write(signatures / "self_signed.cab", selfSigned.bytes);
  options.chain = SignerChain::ToStoredRoot;
  write(signatures / "stored_root.cab", SignCabinet(cabinet, options).bytes);
  options.chain = SignerChain::RootNotStored;
  options.brokenNotAfter = true;
  write(signatures / "root_missing_broken_date.cab", SignCabinet(cabinet, options).bytes);
  write(signatures / "not_pkcs7.cab", selfSigned.bytes.substr(0, selfSigned.blobOffset) + std::string(64, '\x30'));

  const std::string plain = CabBuilder().add("A~1.000", "MSCE").add("A~1.001", "one").bytes();
  write(scans / "installer.exe", ProgramStub(512, 1) + plain + "MSCF" + ProgramStub(100, 2) + selfSigned.bytes);
  write(scans / "two_cabinets.bin", plain + plain);
  return ok ? 0 : 1;
}

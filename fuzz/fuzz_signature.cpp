// The signature reader on arbitrary bytes, read as a cabinet with its
// appended signature. Beyond "no crash" it checks what the reader promises:
// nothing is called intact unless the content digest matched and the
// signature verified, and every index it hands out points into its lists.
//
// Seeds: fuzz/corpus/signature/ (written by bench/make_signature_seeds).

#include <cstdint>
#include <cstdlib>
#include <span>

#include "signature/cab_signature.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const vornix::CabinetSignature s = vornix::ReadCabinetSignature(std::span(data, size));
  if (s.State == vornix::SignatureState::Intact &&
      (s.ContentMatches != true || s.SignatureVerifies != true || s.MessageDigestMatches == false))
    std::abort();
  if (s.SignerIndex >= static_cast<int>(s.Certificates.size())) std::abort();
  for (int i : s.ChainPath) {
    if (i < 0 || i >= static_cast<int>(s.Certificates.size())) std::abort();
  }
  if (vornix::SignatureSummaryLines(s).empty()) std::abort();
  return 0;
}

// The batch executable's way to the signature check: the module that links
// OpenSSL is loaded on the first signed cabinet, never at start-up.
#include <dlfcn.h>

#include <string>
#include <utility>

#include "app/program_files.h"
#include "signature/signature_check.h"

namespace fs = std::filesystem;

namespace vornix {
namespace {

struct SignatureModule {
  SignatureModuleEntry Entry = nullptr;
  Sha256ModuleEntry Sha256 = nullptr;
  std::string Path;
  std::string Problem;  // why there is no entry
};

SignatureModule LoadSignatureModule() {
  SignatureModule module;
  const std::vector<fs::path> places =
      ProgramFilePlaces(ExecutablePath(), kSignatureModuleName, VORNIX_LIBEXEC_FROM_BIN);
  for (const fs::path& place : places) {
    std::error_code ec;
    if (!fs::is_regular_file(place, ec)) continue;
    module.Path = place.string();
    // Never closed: the module is needed until the end, and OpenSSL does not unload cleanly.
    void* handle = ::dlopen(place.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
      const char* error = ::dlerror();
      module.Problem = "the signature reader cannot be loaded: " + std::string(error ? error : module.Path);
      return module;
    }
    module.Entry = reinterpret_cast<SignatureModuleEntry>(::dlsym(handle, kSignatureModuleEntry));
    if (!module.Entry) module.Problem = "the signature reader " + module.Path + " belongs to another build of vornix";
    module.Sha256 = reinterpret_cast<Sha256ModuleEntry>(::dlsym(handle, kSha256ModuleEntry));
    return module;
  }
  module.Problem = std::string("the signature reader is not installed (no ") + kSignatureModuleName + " in " +
                   FoldersOf(places) + ")";
  return module;
}

CabinetSignature NotChecked(CabinetSignature sig, std::string problem) {
  sig.State = SignatureState::NotChecked;
  sig.Problem = std::move(problem);
  return sig;
}

const SignatureModule& Module() {
  static const SignatureModule module = LoadSignatureModule();
  return module;
}

}  // namespace

std::string Sha256Hex(std::span<const uint8_t> bytes) {
  const SignatureModule& module = Module();
  char out[65] = {};
  if (!module.Sha256 || !module.Sha256(VORNIX_VERSION, bytes.data(), bytes.size(), out)) return {};
  return out;
}

CabinetSignature CheckCabinetSignature(std::span<const uint8_t> file, const SignatureHeader& header,
                                       CabinetSignature located) {
  const SignatureModule& module = Module();
  if (!module.Entry) return NotChecked(std::move(located), module.Problem);
  CabinetSignature sig = located;
  if (!module.Entry(VORNIX_VERSION, sizeof(CabinetSignature), file.data(), file.size(), &header, &sig))
    return NotChecked(std::move(located),
                      "the signature reader " + module.Path + " belongs to another build of vornix");
  return sig;
}

}  // namespace vornix

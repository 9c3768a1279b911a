// Writes the seed program files of the PE fuzzer (fuzz/corpus/pe/): one small
// file per shape the reader has to walk, so the fuzzer starts from valid
// headers and a whole version resource instead of guessing them.
//
//   make_pe_seeds DIRECTORY

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "helpers/pe_builder.h"

using namespace vornix::testing;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DIRECTORY\n", argv[0]);
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  std::filesystem::create_directories(dir);
  bool ok = true;
  auto write = [&](const char* name, const PeRecipe& recipe) {
    const std::string bytes = BuildPe(recipe).bytes;
    std::ofstream out(dir / name, std::ios::binary);
    ok = static_cast<bool>(out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()))) && ok;
  };

  write("arm_ce_dll.dll", PeRecipe());
  {
    PeRecipe s;
    s.Machine = 0x8664;
    s.Subsystem = 3;
    s.Pe32Plus = true;
    s.DotNet = true;
    s.Dll = false;
    s.Strings = {{"FileDescription", "caf\xC3\xA9 \xF0\x9D\x84\x9E"}, {"Comments", ""}};
    write("dotnet_x64.exe", s);
  }
  {
    PeRecipe s;
    s.Machine = 0x01A2;
    s.WithVersion = false;
    write("sh3_no_version.exe", s);
  }
  {
    PeRecipe s;
    s.Machine = 0x01C2;
    s.FileFlags = 0x03;
    s.Table = "040C04E4";
    write("thumb_beta_debug.dll", s);
  }
  return ok ? 0 : 1;
}

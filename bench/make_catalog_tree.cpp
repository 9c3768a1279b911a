// Writes a folder tree of packages for timing `vornix --catalog`: COUNT
// packages (default 2,000) in folders of 100, each with its own application
// name so no two are the same bytes. Of every 20: one signed cabinet, one
// installer holding two cabinets (two packages), one theme, one bare ".000",
// one broken cabinet, the rest plain cabinets.
//
//   make_catalog_tree FOLDER [COUNT]

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "common/text.h"
#include "helpers/cab_signer.h"
#include "helpers/demo_package.h"
#include "helpers/demo_theme.h"
#include "helpers/setup_builder.h"

using namespace vornix;
using namespace vornix::testing;
namespace fs = std::filesystem;

namespace {

SetupRecipe Application(int n) {
  SetupRecipe recipe = DemoApplication();
  recipe.AppName = Format("Bench App %05d", n);
  return recipe;
}

bool Write(const fs::path& file, const std::string& bytes) {
  std::ofstream out(file, std::ios::binary);
  return static_cast<bool>(out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: %s FOLDER [COUNT]\n", argv[0]);
    return 2;
  }
  const fs::path root = argv[1];
  const int count = argc > 2 ? std::atoi(argv[2]) : 2000;
  if (count < 1) return 2;
  int made = 0;
  for (int n = 0; made < count; ++n) {
    const fs::path folder = root / Format("set%03d", made / 100);
    fs::create_directories(folder);
    const std::string stem = (folder / Format("pkg%05d", n)).string();
    bool ok = true;
    switch (n % 20) {
      case 0: {
        CabBuilder cab = PackageFor(Application(n), kDemoSetupName, true);
        ReserveForSigning(cab, 64);
        ok = Write(stem + ".cab", SignCabinet(cab.bytes()).bytes);
        ++made;
        break;
      }
      case 1:
        ok = Write(stem + ".exe", ProgramStub(8192, static_cast<uint32_t>(n)) +
                                      PackageFor(Application(n), kDemoSetupName, true).bytes() +
                                      PackageFor(Application(n + 100000), kDemoSetupName, false).bytes());
        made += 2;
        break;
      case 2:
        ok = DemoTheme().writeTo(stem + ".tsk");
        ++made;
        break;
      case 3:
        ok = Write(stem + ".000", BuildSetupFile(Application(n)));
        ++made;
        break;
      case 4:
        ok = Write(stem + ".cab", "MSCF" + std::string(60, '\0'));
        ++made;
        break;
      default: ok = PackageFor(Application(n), kDemoSetupName, n % 2).writeTo(stem + ".cab"); ++made;
    }
    if (!ok) {
      std::fprintf(stderr, "%s: cannot write %s\n", argv[0], stem.c_str());
      return 1;
    }
  }
  std::printf("%d packages under %s\n", made, root.c_str());
  return 0;
}

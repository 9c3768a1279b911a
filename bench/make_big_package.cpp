// Writes the benchmark package: 2,000 members (about 50 MB) in one MSZIP
// folder, listed as CabWiz lists them, with a setup description that names
// every member so `vornix P inf` and `vornix P extract` have real work.
//
//   make_big_package OUTPUT.cab [FILE_COUNT] [MEGABYTES]

#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/text.h"
#include "helpers/cab_builder.h"
#include "helpers/setup_builder.h"

using namespace vornix;
using namespace vornix::testing;

int main(int argc, char** argv) {
  if (argc < 2 || argc > 4) {
    std::fprintf(stderr, "usage: %s OUTPUT.cab [FILE_COUNT] [MEGABYTES]\n", argv[0]);
    return 2;
  }
  BigPackageOptions options;
  if (argc > 2) options.fileCount = std::atoi(argv[2]);
  if (argc > 3) options.totalBytes = static_cast<size_t>(std::atoi(argv[3])) << 20;
  if (options.fileCount < 1 || options.fileCount > 9998 || options.totalBytes == 0) {
    std::fprintf(stderr, "%s: FILE_COUNT must be 1..9999 and MEGABYTES at least 1\n", argv[0]);
    return 2;
  }

  SetupRecipe desc;
  desc.AppName = "Bench";
  desc.Provider = "Vornix";
  desc.Strings = {{1, "%CE1%"}, {2, "Vornix Bench"}, {3, "Data"}};
  desc.Dirs = {{1, {1, 2}}, {2, {1, 2, 3}}};
  for (int index = 1; index <= options.fileCount; ++index) {
    const int n = BigPackageMemberNumber(index);
    // Half the files in a subfolder, so extraction builds a tree.
    desc.Files.push_back({static_cast<uint16_t>(n), static_cast<uint16_t>(n % 2 ? 1 : 2), static_cast<uint16_t>(n), 0,
                          Format("member %04d.txt", n)});
  }
  options.setupBytes = BuildSetupFile(desc);

  const CabBuilder package = BigPackage(options);
  if (!package.writeTo(argv[1])) {
    std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
    return 1;
  }
  return 0;
}

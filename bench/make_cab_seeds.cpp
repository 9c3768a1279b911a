// Writes the seed cabinets of the cabinet fuzzer (fuzz/corpus/cab/): one small
// cabinet per feature the reader has to walk, so the fuzzer starts from valid
// structure instead of guessing the signature.
//
//   make_cab_seeds DIRECTORY

#include <cstdio>
#include <filesystem>
#include <string>

#include "helpers/cab_builder.h"

using namespace vornix::testing;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DIRECTORY\n", argv[0]);
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  std::filesystem::create_directories(dir);
  const std::string text = PseudoText(1500, 11);
  bool ok = true;
  auto write = [&](const char* name, const CabBuilder& b) { ok = b.writeTo(dir / name) && ok; };

  write("empty.cab", CabBuilder());
  write("stored.cab", CabBuilder().add("SETUP~1.000", "MSCE setup").add("sub\\F~1.001", text.substr(0, 300)));
  {
    CabBuilder b;
    b.folder(CabCompression::MSZIP).add("a.txt", text).add("b/c.txt", text.substr(0, 200));
    write("mszip.cab", b);
  }
  {
    CabBuilder b;
    b.folder(CabCompression::LZX, 15).add("lzx.txt", text.substr(0, 700));
    write("lzx.cab", b);
  }
  {
    CabBuilder b;
    b.reserve(6, 4, 2).reverseDataOrder();
    b.folder(CabCompression::None).add("F~1.002", "two").add("F~1.001", "one");
    b.folder(CabCompression::MSZIP).add("F~1.003", text.substr(0, 400));
    write("reserve_two_folders.cab", b);
  }
  {
    CabEntryRecipe utf8{"caf\xC3\xA9.txt", "u"};
    utf8.utf8Name = true;
    write("hostile_names.cab", CabBuilder().add("..\\up.txt", "x").add("/abs", "y").add("C:\\d", "z").add(utf8));
  }
  return ok ? 0 : 1;
}

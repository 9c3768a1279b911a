#include "helpers/demo_package.h"

#include <algorithm>

#include "common/text.h"

namespace vornix::testing {

std::string StoredNameFor(const SetupRecipe::File& file) {
  std::string stem;
  for (char c : file.Name) {
    if (c == '.') break;
    if (c != ' ' && c != '"') stem += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  if (stem.empty()) stem = "FILE";
  return stem.substr(0, 6) + "~1" + Format(".%.3u", file.Id);
}

std::string DemoFileData(const SetupRecipe::File& file) {
  std::string data = "Contents of " + file.Name + " (file " + Format("%u", file.Id) + ")\r\n";
  for (int i = 0; i < 1 + file.Id * 3; ++i) data += "The tide comes in, the tide goes out.\r\n";
  return data;
}

CabBuilder PackageFor(const SetupRecipe& desc, const std::string& setupName, bool withSetupDll,
                      CabCompression compression) {
  CabBuilder cab;
  cab.folder(compression);
  std::vector<SetupRecipe::File> files = desc.Files;
  std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) { return a.Id > b.Id; });
  if (withSetupDll) cab.add(kDemoSetupDllName, std::string("MZ setup DLL of the demo package\r\n"));
  for (const auto& f : files) cab.add(StoredNameFor(f), DemoFileData(f));
  cab.add(setupName, BuildSetupFile(desc));
  return cab;
}

CabBuilder DemoPackage() { return PackageFor(DemoApplication(), kDemoSetupName, true); }

}  // namespace vornix::testing

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

CabBuilder BigDemoPackage(int fileCount, size_t totalBytes) {
  BigPackageOptions options;
  options.fileCount = fileCount;
  options.totalBytes = totalBytes;
  SetupRecipe desc;
  desc.AppName = "Big";
  desc.Strings = {{1, "%CE1%"}};
  desc.Dirs = {{1, {1}}};
  for (int index = 1; index <= fileCount; ++index) {
    const int n = BigPackageMemberNumber(index);
    desc.Files.push_back({static_cast<uint16_t>(n), 1, static_cast<uint16_t>(n), 0, Format("m%04d.txt", n)});
  }
  options.setupBytes = BuildSetupFile(desc);
  return BigPackage(options);
}

}  // namespace vornix::testing

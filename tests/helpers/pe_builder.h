// A small writer of PE program files for tests and fuzz seeds: a DOS header,
// the PE and optional headers, a code section (holding the .NET header when
// asked) and a resource section with one version resource, laid out the way
// linkers lay them out. The built image reports where its records landed, so
// a test can break one field at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vornix::testing {

struct PeRecipe {
  uint16_t Machine = 0x01C0;  // ARM
  uint16_t Subsystem = 9;     // Windows CE GUI
  uint16_t SubsystemMajor = 4;
  uint16_t SubsystemMinor = 20;
  bool Pe32Plus = false;
  bool Dll = true;
  bool DotNet = false;  // a CLR runtime header directory

  bool WithVersion = true;              // a version resource at all
  uint32_t FileVersionMS = 0x00010002;  // 1.2
  uint32_t FileVersionLS = 0x00030004;  // .3.4
  uint32_t ProductVersionMS = 0x00010002;
  uint32_t ProductVersionLS = 0x00000000;
  uint32_t FileFlagsMask = 0x3F;
  uint32_t FileFlags = 0;
  /// The string table's key (language and code page) and its strings, UTF-8.
  std::string Table = "040904B0";
  std::vector<std::pair<std::string, std::string>> Strings = {
      {"CompanyName", "Vornix Samples"}, {"FileDescription", "Tide tables"}, {"FileVersion", "1.2.3.4"},
      {"ProductName", "Tidepool"},       {"ProductVersion", "1.2"},          {"LegalCopyright", "Copyright (C) 2009"},
  };
};

/// A built file and the file offsets of its records.
struct PeImage {
  std::string bytes;
  size_t peHeader = 0;  // "PE\0\0"
  size_t optionalHeader = 0;
  size_t sectionTable = 0;
  size_t resourceSection = 0;  // the root resource directory
  uint32_t resourceRva = 0;
  size_t typeEntry = 0;              // the RT_VERSION entry of the root directory
  size_t nameDirectory = 0;          // the directory under RT_VERSION
  size_t dataEntry = 0;              // IMAGE_RESOURCE_DATA_ENTRY of the version resource
  size_t versionData = 0;            // the VS_VERSIONINFO root block
  std::vector<size_t> stringBlocks;  // each String block, in order
};

PeImage BuildPe(const PeRecipe& recipe);

/// The VS_VERSIONINFO bytes BuildPe stores for `recipe`.
std::string VersionResourceBytes(const PeRecipe& recipe);

}  // namespace vornix::testing

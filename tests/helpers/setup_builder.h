// Builds binary setup descriptions (".000" files) from a readable description,
// so every test fixture shows how it was made.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vornix::testing {

struct SetupRecipe {
  std::string Signature = "MSCE";
  int32_t Processor = 2577;
  int32_t MinMajor = 4, MinMinor = 0, MaxMajor = 5, MaxMinor = 0;
  int32_t MinBuild = 0;
  uint32_t MaxBuild = 0;
  std::string AppName;
  std::string Provider;
  std::vector<std::string> Unsupported;

  struct String {
    uint16_t Id;
    std::string Value;
  };
  struct Dir {
    uint16_t Id;
    std::vector<uint16_t> StringIds;
    bool Terminated = true;
  };
  struct File {
    uint16_t Id;
    uint16_t DirId;
    uint16_t Order;
    uint32_t Flags;
    std::string Name;
  };
  struct Hive {
    uint16_t Id;
    uint16_t Root;
    std::vector<uint16_t> StringIds;
  };
  struct RegKey {
    uint16_t Id;
    uint16_t HiveId;
    uint32_t Flags;
    std::string Name;
    std::string Value;
  };
  struct Shortcut {
    uint16_t Id;
    uint16_t BaseDir;
    uint16_t Folder;
    uint16_t Target;
    uint16_t Kind;
    std::vector<uint16_t> StringIds;
  };
  std::vector<String> Strings;
  std::vector<Dir> Dirs;
  std::vector<File> Files;
  std::vector<Hive> Hives;
  std::vector<RegKey> RegKeys;
  std::vector<Shortcut> Shortcuts;

  /// Writes this value into the size field instead of the real size.
  std::optional<uint32_t> SizeField;
};

/// The setup file's bytes: the 100-byte header, the header texts, then the
/// sections in the order strings, directories, files, hives, keys, shortcuts.
std::string BuildSetupFile(const SetupRecipe& desc);

/// Offsets of the sections in what BuildSetupFile wrote, for corrupt variants.
struct SetupLayout {
  uint32_t Strings = 0, Dirs = 0, Files = 0, Hives = 0, RegKeys = 0, Shortcuts = 0;
};
SetupLayout LayoutOf(const SetupRecipe& desc);

// Value bytes of registry values.
std::string RegSzBytes(const std::string& text);
std::string RegDwordBytes(uint32_t value);
std::string RegMultiSzBytes(const std::vector<std::string>& texts);

/// A small but complete application: two folders, files, registry and shortcuts.
SetupRecipe DemoApplication();

/// Little-endian patching of built bytes.
void PutU16(std::string& bytes, size_t offset, uint16_t value);
void PutU32(std::string& bytes, size_t offset, uint32_t value);

}  // namespace vornix::testing

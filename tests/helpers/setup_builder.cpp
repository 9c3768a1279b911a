#include "helpers/setup_builder.h"

namespace vornix::testing {
namespace {

void AddU16(std::string& out, uint16_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>(v >> 8);
}

void AddU32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

void AddIds(std::string& out, const std::vector<uint16_t>& ids, bool terminated) {
  for (uint16_t id : ids) AddU16(out, id);
  if (terminated) AddU16(out, 0);
}

struct Built {
  std::string bytes;
  SetupLayout layout;
};

Built Build(const SetupRecipe& s) {
  std::string body;  // everything after the header
  auto here = [&] { return static_cast<uint32_t>(100 + body.size()); };

  const uint32_t appOffset = here();
  if (!s.AppName.empty()) body += s.AppName + '\0';
  const uint32_t providerOffset = here();
  if (!s.Provider.empty()) body += s.Provider + '\0';
  const uint32_t unsupportedOffset = here();
  if (!s.Unsupported.empty()) {
    for (const auto& p : s.Unsupported) body += p + '\0';
    body += '\0';
  }
  const uint32_t unsupportedLength = here() - unsupportedOffset;

  SetupLayout layout;
  layout.Strings = here();
  for (const auto& str : s.Strings) {
    AddU16(body, str.Id);
    AddU16(body, static_cast<uint16_t>(str.Value.size() + 1));
    body += str.Value + '\0';
  }
  layout.Dirs = here();
  for (const auto& d : s.Dirs) {
    AddU16(body, d.Id);
    AddU16(body, static_cast<uint16_t>(2 * (d.StringIds.size() + (d.Terminated ? 1 : 0))));
    AddIds(body, d.StringIds, d.Terminated);
  }
  layout.Files = here();
  for (const auto& f : s.Files) {
    AddU16(body, f.Id);
    AddU16(body, f.DirId);
    AddU16(body, f.Order);
    AddU32(body, f.Flags);
    AddU16(body, static_cast<uint16_t>(f.Name.size() + 1));
    body += f.Name + '\0';
  }
  layout.Hives = here();
  for (const auto& h : s.Hives) {
    AddU16(body, h.Id);
    AddU16(body, h.Root);
    AddU16(body, 0);
    AddU16(body, static_cast<uint16_t>(2 * (h.StringIds.size() + 1)));
    AddIds(body, h.StringIds, true);
  }
  layout.RegKeys = here();
  for (const auto& k : s.RegKeys) {
    AddU16(body, k.Id);
    AddU16(body, k.HiveId);
    AddU16(body, 0);
    AddU32(body, k.Flags);
    AddU16(body, static_cast<uint16_t>(k.Name.size() + 1 + k.Value.size()));
    body += k.Name + '\0' + k.Value;
  }
  layout.Shortcuts = here();
  for (const auto& r : s.Shortcuts) {
    AddU16(body, r.Id);
    AddU16(body, r.BaseDir);
    AddU16(body, r.Folder);
    AddU16(body, r.Target);
    AddU16(body, r.Kind);
    AddU16(body, static_cast<uint16_t>(2 * r.StringIds.size()));
    AddIds(body, r.StringIds, false);
  }

  std::string h;
  h += (s.Signature + "    ").substr(0, 4);
  AddU32(h, 0);
  const uint32_t size = static_cast<uint32_t>(100 + body.size());
  AddU32(h, s.SizeField.value_or(size));
  AddU32(h, 0);
  AddU32(h, 0);
  AddU32(h, static_cast<uint32_t>(s.Processor));
  AddU32(h, static_cast<uint32_t>(s.MinMajor));
  AddU32(h, static_cast<uint32_t>(s.MinMinor));
  AddU32(h, static_cast<uint32_t>(s.MaxMajor));
  AddU32(h, static_cast<uint32_t>(s.MaxMinor));
  AddU32(h, static_cast<uint32_t>(s.MinBuild));
  AddU32(h, s.MaxBuild);
  AddU16(h, static_cast<uint16_t>(s.Strings.size()));
  AddU16(h, static_cast<uint16_t>(s.Dirs.size()));
  AddU16(h, static_cast<uint16_t>(s.Files.size()));
  AddU16(h, static_cast<uint16_t>(s.Hives.size()));
  AddU16(h, static_cast<uint16_t>(s.RegKeys.size()));
  AddU16(h, static_cast<uint16_t>(s.Shortcuts.size()));
  AddU32(h, layout.Strings);
  AddU32(h, layout.Dirs);
  AddU32(h, layout.Files);
  AddU32(h, layout.Hives);
  AddU32(h, layout.RegKeys);
  AddU32(h, layout.Shortcuts);
  AddU16(h, static_cast<uint16_t>(appOffset));
  AddU16(h, static_cast<uint16_t>(s.AppName.empty() ? 0 : s.AppName.size() + 1));
  AddU16(h, static_cast<uint16_t>(providerOffset));
  AddU16(h, static_cast<uint16_t>(s.Provider.empty() ? 0 : s.Provider.size() + 1));
  AddU16(h, static_cast<uint16_t>(unsupportedOffset));
  AddU16(h, static_cast<uint16_t>(unsupportedLength));
  AddU32(h, 0);
  return {h + body, layout};
}

}  // namespace

std::string BuildSetupFile(const SetupRecipe& desc) { return Build(desc).bytes; }
SetupLayout LayoutOf(const SetupRecipe& desc) { return Build(desc).layout; }

std::string RegSzBytes(const std::string& text) { return text + '\0'; }

std::string RegDwordBytes(uint32_t value) {
  std::string out;
  AddU32(out, value);
  return out;
}

std::string RegMultiSzBytes(const std::vector<std::string>& texts) {
  std::string out;
  for (const auto& t : texts) out += t + '\0';
  return out + '\0';
}

void PutU16(std::string& bytes, size_t offset, uint16_t value) {
  bytes[offset] = static_cast<char>(value & 0xFF);
  bytes[offset + 1] = static_cast<char>(value >> 8);
}

void PutU32(std::string& bytes, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[offset + static_cast<size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

SetupRecipe DemoApplication() {
  SetupRecipe s;
  s.AppName = "Tidepool";
  s.Provider = "Vornix Samples";
  s.Processor = 2577;
  s.MinMajor = 4;
  s.MinMinor = 20;
  s.MaxMajor = 6;
  s.MaxMinor = 99;
  s.MaxBuild = 0xE0000000;
  s.Strings = {{1, "%CE1%\\Vornix Samples Tidepool"},
               {2, "%CE1%"},
               {3, "Vornix Samples Tidepool"},
               {4, "Help"},
               {5, "Software"},
               {6, "Vornix Samples"},
               {7, "Tidepool"},
               {8, "%CE11%"},
               {9, "Tidepool.lnk"}};
  s.Dirs = {{1, {2, 3}}, {2, {2, 3, 4}}, {3, {8}}};
  s.Files = {{1, 1, 1, 0x40000000, "Tidepool.exe"},
             {2, 1, 2, 0x00000000, "tides.dat"},
             {3, 2, 3, 0x00000000, "Read me.txt"},
             {4, 1, 4, 0x10000000, "tpshell.dll"}};
  s.Hives = {{1, 3, {5, 6, 7}}};
  s.RegKeys = {{1, 1, 0x00010001, "Version", RegDwordBytes(3)},
               {2, 1, 0x00000000, "Path", RegSzBytes("%InstallDir%\\tides.dat")},
               {3, 1, 0x00010000, "Ports", RegMultiSzBytes({"COM1:", "COM2:"})}};
  s.Shortcuts = {{1, 0, 11, 1, 1, {9}}};
  return s;
}

}  // namespace vornix::testing

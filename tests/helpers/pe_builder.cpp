#include "helpers/pe_builder.h"

namespace vornix::testing {
namespace {

void AddU16(std::string& out, uint16_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>(v >> 8);
}

void AddU32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

void AddU64(std::string& out, uint64_t v) {
  AddU32(out, static_cast<uint32_t>(v));
  AddU32(out, static_cast<uint32_t>(v >> 32));
}

void PadTo(std::string& out, size_t alignment) {
  while (out.size() % alignment) out += '\0';
}

// UTF-8 to UTF-16LE code units, NUL included (surrogate pairs above U+FFFF).
std::string Utf16Z(const std::string& utf8) {
  std::string out;
  for (size_t i = 0; i < utf8.size();) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    const int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    char32_t cp = extra == 0 ? c : extra == 1 ? (c & 0x1F) : extra == 2 ? (c & 0x0F) : (c & 0x07);
    for (int k = 1; k <= extra && i + static_cast<size_t>(k) < utf8.size(); ++k)
      cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + static_cast<size_t>(k)]) & 0x3F);
    i += static_cast<size_t>(extra) + 1;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      AddU16(out, static_cast<uint16_t>(0xD800 + (cp >> 10)));
      AddU16(out, static_cast<uint16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      AddU16(out, static_cast<uint16_t>(cp));
    }
  }
  AddU16(out, 0);
  return out;
}

// One block of VS_VERSIONINFO: header, key, padding, value, padding, children.
struct Block {
  std::string Key;
  std::string Value;
  uint16_t ValueLength = 0;
  uint16_t Type = 0;
  std::vector<Block> Children;
  bool IsString = false;
};

void Serialise(const Block& b, std::string& out, std::vector<size_t>& stringBlocks) {
  PadTo(out, 4);
  const size_t start = out.size();
  if (b.IsString) stringBlocks.push_back(start);
  AddU16(out, 0);  // length, set below
  AddU16(out, b.ValueLength);
  AddU16(out, b.Type);
  out += Utf16Z(b.Key);
  if (!b.Value.empty()) {
    PadTo(out, 4);
    out += b.Value;
  }
  for (const Block& child : b.Children) Serialise(child, out, stringBlocks);
  const size_t length = out.size() - start;
  out[start] = static_cast<char>(length & 0xFF);
  out[start + 1] = static_cast<char>(length >> 8);
}

Block VersionTree(const PeRecipe& s) {
  Block root{"VS_VERSION_INFO", {}, 52, 0, {}, false};
  for (uint32_t v : {0xFEEF04BDu, 0x00010000u, s.FileVersionMS, s.FileVersionLS, s.ProductVersionMS, s.ProductVersionLS,
                     s.FileFlagsMask, s.FileFlags, 0x00040004u /* VOS_NT_WINDOWS32 */, s.Dll ? 2u : 1u, 0u, 0u, 0u})
    AddU32(root.Value, v);
  Block table{s.Table, {}, 0, 1, {}, false};
  for (const auto& [key, value] : s.Strings) {
    const std::string text = Utf16Z(value);
    table.Children.push_back({key, text, static_cast<uint16_t>(text.size() / 2), 1, {}, true});
  }
  root.Children.push_back({"StringFileInfo", {}, 0, 1, {table}, false});
  std::string translation;
  AddU16(translation, 0x0409);
  AddU16(translation, 0x04B0);
  Block translationBlock{"Translation", translation, 4, 0, {}, false};
  root.Children.push_back({"VarFileInfo", {}, 0, 1, {translationBlock}, false});
  return root;
}

}  // namespace

std::string VersionResourceBytes(const PeRecipe& recipe) {
  std::string out;
  std::vector<size_t> strings;
  Serialise(VersionTree(recipe), out, strings);
  return out;
}

PeImage BuildPe(const PeRecipe& s) {
  PeImage image;
  std::string& out = image.bytes;
  constexpr uint32_t kFileAlignment = 0x200;
  constexpr uint32_t kTextRva = 0x1000, kResourceRva = 0x2000;
  constexpr size_t kClrHeaderSize = 72;

  // The resource section: root -> RT_VERSION -> ID 1 -> language 0x409 -> data.
  std::string rsrc;
  if (s.WithVersion) {
    const auto directory = [&](uint16_t id, uint32_t target) {
      AddU32(rsrc, 0);  // characteristics
      AddU32(rsrc, 0);  // time stamp
      AddU32(rsrc, 0);  // version
      AddU16(rsrc, 0);  // named entries
      AddU16(rsrc, 1);  // ID entries
      AddU32(rsrc, id);
      AddU32(rsrc, target);
    };
    directory(16, 0x80000018);
    directory(1, 0x80000030);
    directory(0x0409, 0x48);
    std::string version;
    std::vector<size_t> strings;
    Serialise(VersionTree(s), version, strings);
    AddU32(rsrc, kResourceRva + 0x58);
    AddU32(rsrc, static_cast<uint32_t>(version.size()));
    AddU32(rsrc, 0);  // code page
    AddU32(rsrc, 0);
    PadTo(rsrc, 8);
    rsrc += version;
    image.resourceRva = kResourceRva;
    for (size_t offset : strings) image.stringBlocks.push_back(offset);  // made absolute below
  }

  // DOS header and stub.
  out = "MZ";
  out.resize(0x3C, '\0');
  AddU32(out, 0x80);
  out.resize(0x80, '\0');

  image.peHeader = out.size();
  out += std::string("PE\0\0", 4);
  const uint16_t sections = s.WithVersion ? 2 : 1;
  AddU16(out, s.Machine);
  AddU16(out, sections);
  AddU32(out, 0x4A000000);  // time stamp
  AddU32(out, 0);
  AddU32(out, 0);
  AddU16(out, s.Pe32Plus ? 240 : 224);
  AddU16(out, static_cast<uint16_t>(0x0102 | (s.Dll ? 0x2000 : 0)));

  image.optionalHeader = out.size();
  AddU16(out, s.Pe32Plus ? 0x20B : 0x10B);
  out += '\x08';
  out += '\x00';                // linker 8.0
  AddU32(out, kFileAlignment);  // size of code
  AddU32(out, 0);               // initialised data
  AddU32(out, 0);               // uninitialised data
  AddU32(out, kTextRva);        // entry point
  AddU32(out, kTextRva);        // base of code
  if (s.Pe32Plus) {
    AddU64(out, 0x10000);
  } else {
    AddU32(out, kResourceRva);  // base of data
    AddU32(out, 0x10000);       // image base
  }
  AddU32(out, 0x1000);  // section alignment
  AddU32(out, kFileAlignment);
  AddU16(out, s.SubsystemMajor);  // OS version
  AddU16(out, s.SubsystemMinor);
  AddU16(out, 0);  // image version
  AddU16(out, 0);
  AddU16(out, s.SubsystemMajor);
  AddU16(out, s.SubsystemMinor);
  AddU32(out, 0);               // Win32 version value
  AddU32(out, 0x3000);          // size of image
  AddU32(out, kFileAlignment);  // size of headers
  AddU32(out, 0);               // checksum
  AddU16(out, s.Subsystem);
  AddU16(out, 0);  // DLL characteristics
  for (int i = 0; i < 4; ++i) s.Pe32Plus ? AddU64(out, 0x10000) : AddU32(out, 0x10000);
  AddU32(out, 0);  // loader flags
  AddU32(out, 16);
  for (uint32_t i = 0; i < 16; ++i) {
    uint32_t rva = 0, size = 0;
    if (i == 2 && s.WithVersion) rva = kResourceRva, size = static_cast<uint32_t>(rsrc.size());
    if (i == 14 && s.DotNet) rva = kTextRva, size = kClrHeaderSize;
    AddU32(out, rva);
    AddU32(out, size);
  }

  image.sectionTable = out.size();
  const auto section = [&](const char* name, uint32_t rva, uint32_t virtualSize, uint32_t rawOffset) {
    std::string n(name);
    n.resize(8, '\0');
    out += n;
    AddU32(out, virtualSize);
    AddU32(out, rva);
    AddU32(out, (virtualSize + kFileAlignment - 1) / kFileAlignment * kFileAlignment);
    AddU32(out, rawOffset);
    AddU32(out, 0);
    AddU32(out, 0);
    AddU16(out, 0);
    AddU16(out, 0);
    AddU32(out, 0x60000020);
  };
  section(".text", kTextRva, 0x100, 0x200);
  if (s.WithVersion) section(".rsrc", kResourceRva, static_cast<uint32_t>(rsrc.size()), 0x400);
  out.resize(0x200, '\0');

  // Code: a CLR header (cb, runtime version 2.5) when asked, else zeros.
  std::string text;
  if (s.DotNet) {
    AddU32(text, kClrHeaderSize);
    AddU16(text, 2);
    AddU16(text, 5);
  }
  text.resize(kFileAlignment, '\0');
  out += text;

  if (s.WithVersion) {
    image.resourceSection = out.size();
    image.typeEntry = image.resourceSection + 0x10;
    image.nameDirectory = image.resourceSection + 0x18;
    image.dataEntry = image.resourceSection + 0x48;
    image.versionData = image.resourceSection + 0x58;
    for (size_t& offset : image.stringBlocks) offset += image.versionData;
    out += rsrc;
    PadTo(out, kFileAlignment);
  }
  return image;
}

}  // namespace vornix::testing

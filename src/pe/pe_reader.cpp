#include "pe/pe_reader.h"

#include <algorithm>
#include <unordered_set>

#include "common/byte_reader.h"
#include "common/text.h"
#include "pe/pe_format.h"

namespace vornix {
namespace {

using Bytes = std::span<const uint8_t>;

// A hostile file can make every entry of a large table fail the same way;
// the first few warnings say all there is to say.
constexpr size_t kMaxWarnings = 32;

uint16_t U16At(Bytes b, size_t offset) { return static_cast<uint16_t>(b[offset] | (b[offset + 1] << 8)); }

// A UTF-16LE text from `offset` up to its NUL or `end`, whichever comes
// first, as UTF-8 (a lone surrogate becomes U+FFFD). `next` receives the
// offset just past the NUL (or `end`).
std::string Utf16Text(Bytes b, size_t offset, size_t end, size_t& next) {
  std::string out;
  size_t pos = offset;
  while (pos + 2 <= end) {
    const uint16_t unit = U16At(b, pos);
    pos += 2;
    if (unit == 0) break;
    if (unit >= 0xD800 && unit < 0xDC00 && pos + 2 <= end) {
      const uint16_t low = U16At(b, pos);
      if (low >= 0xDC00 && low < 0xE000) {
        pos += 2;
        AppendUtf8(out, 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (low - 0xDC00));
        continue;
      }
    }
    AppendUtf8(out, unit >= 0xD800 && unit < 0xE000 ? 0xFFFD : unit);
  }
  next = pos;
  return out;
}

size_t Align4(size_t offset) { return (offset + 3) & ~static_cast<size_t>(3); }

struct Section {
  uint32_t VirtualAddress = 0;
  uint32_t VirtualSize = 0;
  uint32_t RawSize = 0;
  uint32_t RawOffset = 0;
};

struct DataDirectory {
  uint32_t Rva = 0;
  uint32_t Size = 0;
};

// One block of the version resource: wLength, wValueLength, wType, the key,
// the value and the children, as offsets into the resource's bytes.
struct VersionBlock {
  size_t Start = 0;
  size_t End = 0;  // clipped to the parent's end
  uint16_t ValueLength = 0;
  uint16_t Type = 0;
  std::string Key;
  size_t ValueStart = 0;
  size_t ChildrenStart = 0;
};

class ProgramFileParser {
 public:
  ProgramFileParser(Bytes bytes, ProgramFileReadResult& out) : m_bytes(bytes), m_out(out), m_info(out.Info) {}

  void run() {
    if (!readHeaders()) return;
    m_out.Status = ProgramFileStatus::Success;
    readOptionalHeader();
    readSections();
    readVersionResource();
  }

 private:
  void warn(std::string text) {
    if (m_out.Warnings.size() < kMaxWarnings) m_out.Warnings.push_back(std::move(text));
  }

  void notProgram(std::string message, uint64_t offset) {
    m_out.Status = ProgramFileStatus::NotProgram;
    m_out.Message = std::move(message);
    m_out.Offset = offset;
    m_out.Info = ProgramFileInfo{};
  }

  bool readHeaders() {
    ByteReader r(m_bytes);
    if (r.u16() != pe::kDosMagic) {
      notProgram("no \"MZ\" signature", 0);
      return false;
    }
    if (m_bytes.size() < pe::kDosHeaderSize) {
      notProgram("the DOS header runs past the end", m_bytes.size());
      return false;
    }
    r.seek(pe::kNewHeaderOffsetField);
    m_peOffset = r.u32();
    r.seek(m_peOffset);
    if (!r.ok() || r.u32() != pe::kPeSignature || !r.ok()) {
      notProgram(Format("no PE signature at offset 0x%X", m_peOffset), m_peOffset);
      return false;
    }
    m_info.Machine = r.u16();
    m_info.SectionCount = r.u16();
    r.skip(12);  // time stamp, symbol table, symbol count
    m_optionalSize = r.u16();
    m_info.Characteristics = r.u16();
    if (!r.ok()) {
      notProgram(
          Format("the COFF header at offset 0x%llX runs past the end", static_cast<unsigned long long>(m_peOffset) + 4),
          m_peOffset + 4ull);
      return false;
    }
    m_optionalOffset = m_peOffset + 4ull + pe::kFileHeaderSize;
    return true;
  }

  // A field of the optional header, when both its declared size and the
  // file hold it.
  template <typename T>
  std::optional<T> headerField(size_t offset) {
    if (offset + sizeof(T) > m_optionalSize) return std::nullopt;
    ByteReader r(m_bytes);
    r.seek(m_optionalOffset + offset);
    const T value = sizeof(T) == 2 ? static_cast<T>(r.u16()) : static_cast<T>(r.u32());
    if (!r.ok()) return std::nullopt;
    return value;
  }

  void readOptionalHeader() {
    const auto magic = headerField<uint16_t>(0);
    if (!magic) {
      warn(Format("no optional header (%u byte(s) declared at offset 0x%llX)", m_optionalSize,
                  static_cast<unsigned long long>(m_optionalOffset)));
      return;
    }
    if (*magic != pe::kMagicPe32 && *magic != pe::kMagicPe32Plus) {
      warn(Format("unknown optional header magic 0x%X", *magic));
      return;
    }
    m_info.HasOptionalHeader = true;
    m_info.Pe32Plus = *magic == pe::kMagicPe32Plus;
    const auto field = [&](size_t offset, uint16_t& into) {
      if (const auto v = headerField<uint16_t>(offset)) into = *v;
    };
    field(pe::kOptOsVersion, m_info.OsMajor);
    field(pe::kOptOsVersion + 2, m_info.OsMinor);
    field(pe::kOptSubsystemVersion, m_info.SubsystemMajor);
    field(pe::kOptSubsystemVersion + 2, m_info.SubsystemMinor);
    field(pe::kOptSubsystem, m_info.Subsystem);
    if (const auto v = headerField<uint32_t>(pe::kOptSizeOfHeaders)) m_sizeOfHeaders = *v;
    if (!headerField<uint16_t>(pe::kOptSubsystem)) warn("the optional header ends before its subsystem field");

    const size_t countOffset = m_info.Pe32Plus ? pe::kOptDirectoryCountPe32Plus : pe::kOptDirectoryCountPe32;
    const auto count = headerField<uint32_t>(countOffset);
    if (!count) return;
    const auto directory = [&](uint32_t index) -> DataDirectory {
      if (index >= *count) return {};
      const size_t at = countOffset + 4 + index * pe::kDataDirectorySize;
      const auto rva = headerField<uint32_t>(at);
      const auto size = headerField<uint32_t>(at + 4);
      if (!rva || !size) return {};
      return {*rva, *size};
    };
    m_resources = directory(pe::kDirResource);
    const DataDirectory clr = directory(pe::kDirClrRuntime);
    m_info.IsDotNet = clr.Rva != 0 && clr.Size != 0;
  }

  void readSections() {
    const uint64_t tableOffset = m_optionalOffset + m_optionalSize;
    if (tableOffset > m_bytes.size()) {
      if (m_info.SectionCount)
        warn(Format("the section table at offset 0x%llX lies past the end",
                    static_cast<unsigned long long>(tableOffset)));
      return;
    }
    const uint64_t fits = (m_bytes.size() - tableOffset) / pe::kSectionHeaderSize;
    const uint64_t count = std::min<uint64_t>(m_info.SectionCount, fits);
    if (count < m_info.SectionCount)
      warn(Format("the section table holds %llu of its %u section(s) before the end",
                  static_cast<unsigned long long>(count), m_info.SectionCount));
    ByteReader r(m_bytes);
    m_sections.reserve(static_cast<size_t>(count));
    for (uint64_t i = 0; i < count; ++i) {
      r.seek(tableOffset + i * pe::kSectionHeaderSize + 8);
      Section s;
      s.VirtualSize = r.u32();
      s.VirtualAddress = r.u32();
      s.RawSize = r.u32();
      s.RawOffset = r.u32();
      if (r.ok()) m_sections.push_back(s);
    }
  }

  // The bytes of the file that hold the image from `rva` on, as far as the
  // section (or the headers) that contains it is backed by the file; empty
  // when the RVA maps nowhere.
  Bytes mapFrom(uint32_t rva) const {
    const uint64_t size = m_bytes.size();
    for (const Section& s : m_sections) {
      const uint64_t extent = s.VirtualSize ? s.VirtualSize : s.RawSize;
      if (rva < s.VirtualAddress || rva - s.VirtualAddress >= extent) continue;
      const uint64_t backed = std::min<uint64_t>(extent, s.RawSize);
      const uint64_t delta = rva - s.VirtualAddress;
      if (delta >= backed) return {};
      const uint64_t begin = static_cast<uint64_t>(s.RawOffset) + delta;
      const uint64_t end = std::min<uint64_t>(static_cast<uint64_t>(s.RawOffset) + backed, size);
      if (begin >= end) return {};
      return m_bytes.subspan(static_cast<size_t>(begin), static_cast<size_t>(end - begin));
    }
    // The headers are mapped at RVA 0 as they stand in the file.
    const uint64_t headers = std::min<uint64_t>(m_sizeOfHeaders, size);
    if (rva < headers) return m_bytes.subspan(rva, static_cast<size_t>(headers - rva));
    return {};
  }

  // ---- Resources: type RT_VERSION, name VS_VERSION_INFO, first language ----

  // The OffsetToData field of the entry chosen in the directory at
  // `offset`: the entry with `id` when there is one, else (unless
  // `idOnly`) the first. Nullopt when the directory cannot be read or has
  // no such entry.
  std::optional<uint32_t> pickEntry(Bytes tree, uint32_t offset, uint32_t id, bool idOnly) {
    ByteReader r(tree);
    r.seek(offset);
    r.skip(12);
    const uint32_t named = r.u16();
    const uint32_t ids = r.u16();
    if (!r.ok()) {
      warn(Format("the resource directory at offset 0x%X of the resource section runs past its end", offset));
      return std::nullopt;
    }
    const uint64_t total = named + ids;
    const uint64_t fits = (tree.size() - r.tell()) / pe::kResourceEntrySize;
    if (total > fits)
      warn(Format("the resource directory at offset 0x%X lists %llu entries, %llu fit", offset,
                  static_cast<unsigned long long>(total), static_cast<unsigned long long>(fits)));
    std::optional<uint32_t> first;
    for (uint64_t i = 0; i < std::min(total, fits); ++i) {
      const uint32_t name = r.u32();
      const uint32_t data = r.u32();
      if (!first) first = data;
      if (!(name & pe::kResourceNamed) && name == id) return data;
    }
    if (idOnly) return std::nullopt;
    return first;
  }

  // Follows one level down: the entry must lead to a subdirectory that was
  // not visited yet on this walk.
  std::optional<uint32_t> subdirectory(std::optional<uint32_t> data) {
    if (!data) return std::nullopt;
    if (!(*data & pe::kResourceSubdirectory)) {
      warn("a resource entry of the version resource points at data where a directory belongs");
      return std::nullopt;
    }
    const uint32_t offset = *data & ~pe::kResourceSubdirectory;
    if (!m_visitedDirectories.insert(offset).second) {
      warn(Format("the resource directory at offset 0x%X is reached twice (a loop)", offset));
      return std::nullopt;
    }
    return offset;
  }

  void readVersionResource() {
    if (m_resources.Rva == 0 || m_resources.Size == 0) return;
    const Bytes tree = mapFrom(m_resources.Rva);
    if (tree.empty()) {
      warn(Format("the resource directory at RVA 0x%X maps to no bytes of the file", m_resources.Rva));
      return;
    }
    m_visitedDirectories.insert(0);
    const auto type = subdirectory(pickEntry(tree, 0, pe::kResourceTypeVersion, true));
    if (!type) return;
    const auto name = subdirectory(pickEntry(tree, *type, pe::kVersionResourceId, false));
    if (!name) return;
    const auto language = pickEntry(tree, *name, 0, false);
    if (!language) return;
    if (*language & pe::kResourceSubdirectory) {
      warn("the version resource is nested deeper than its language level");
      return;
    }
    ByteReader r(tree);
    r.seek(*language);
    const uint32_t rva = r.u32();
    const uint32_t size = r.u32();
    if (!r.ok()) {
      warn(Format("the version resource's data entry at offset 0x%X runs past the end of the resource section",
                  *language));
      return;
    }
    if (size == 0) {
      warn("the version resource is empty");
      return;
    }
    Bytes data = mapFrom(rva);
    if (data.empty()) {
      // Its size is known but its bytes are not in the file.
      m_info.Version = VersionResourceState::Unreadable;
      warn(Format("the version resource at RVA 0x%X (%u bytes) maps to no bytes of the file", rva, size));
      return;
    }
    if (data.size() < size)
      warn(Format("the version resource at RVA 0x%X holds %zu of its %u bytes", rva, data.size(), size));
    else
      data = data.first(size);
    m_info.Version = VersionResourceState::Read;
    readVersionInfo(data);
  }

  // ---- VS_VERSIONINFO ----

  // The block at `offset`, clipped to `limit`; nullopt when not even its
  // header fits or its length cannot be a block's.
  std::optional<VersionBlock> block(Bytes data, size_t offset, size_t limit) {
    if (offset + pe::kVersionBlockHeaderSize > limit) return std::nullopt;
    VersionBlock b;
    b.Start = offset;
    const uint16_t length = U16At(data, offset);
    b.ValueLength = U16At(data, offset + 2);
    b.Type = U16At(data, offset + 4);
    if (length < pe::kVersionBlockHeaderSize) {
      warn(Format("the version block at offset 0x%zX is %u byte(s) long", offset, length));
      return std::nullopt;
    }
    b.End = offset + length;
    if (b.End > limit) {
      warn(Format("the version block at offset 0x%zX is longer than its parent", offset));
      b.End = limit;
    }
    size_t next = 0;
    b.Key = Utf16Text(data, offset + pe::kVersionBlockHeaderSize, b.End, next);
    b.ValueStart = std::min(Align4(next), b.End);
    // Text values count characters, binary ones bytes; writers do not always
    // agree, so text values are read up to their NUL instead.
    const size_t valueBytes = b.Type == 1 ? 0 : b.ValueLength;
    b.ChildrenStart = std::min<size_t>(Align4(b.ValueStart + valueBytes), b.End);
    return b;
  }

  // Calls `visit` for each child of `parent`. Every child is at least a
  // header long, so the walk ends within the parent's bytes.
  template <typename Visit>
  void children(Bytes data, const VersionBlock& parent, Visit visit) {
    size_t pos = parent.ChildrenStart;
    while (pos < parent.End) {
      const auto child = block(data, pos, parent.End);
      if (!child) break;
      visit(*child);
      pos = Align4(child->End);
    }
  }

  void readVersionInfo(Bytes data) {
    const auto root = block(data, 0, data.size());
    if (!root) {
      warn("the version resource's root block cannot be read");
      return;
    }
    if (root->ValueLength >= pe::kFixedFileInfoSize && root->ValueStart + pe::kFixedFileInfoSize <= root->End) {
      ByteReader r(data);
      r.seek(root->ValueStart);
      FixedFileInfo f;
      for (uint32_t* field :
           {&f.Signature, &f.StrucVersion, &f.FileVersionMS, &f.FileVersionLS, &f.ProductVersionMS, &f.ProductVersionLS,
            &f.FileFlagsMask, &f.FileFlags, &f.FileOS, &f.FileType, &f.FileSubtype, &f.FileDateMS, &f.FileDateLS})
        *field = r.u32();
      if (f.Signature == pe::kFixedFileInfoSignature)
        m_info.Fixed = f;
      else
        warn(Format("the fixed file information has the signature 0x%08X", f.Signature));
    } else if (root->ValueLength != 0) {
      warn("the fixed file information is cut short");
    }
    children(data, *root, [&](const VersionBlock& info) {
      if (info.Key != "StringFileInfo") return;
      children(data, info, [&](const VersionBlock& table) {
        children(data, table, [&](const VersionBlock& entry) {
          VersionString s;
          s.Table = table.Key;
          s.Key = entry.Key;
          if (entry.ValueLength != 0) {
            size_t next = 0;
            s.Value = Utf16Text(data, entry.ValueStart, entry.End, next);
          }
          m_info.Strings.push_back(std::move(s));
        });
      });
    });
  }

  Bytes m_bytes;
  ProgramFileReadResult& m_out;
  ProgramFileInfo& m_info;
  uint32_t m_peOffset = 0;
  uint64_t m_optionalOffset = 0;
  uint16_t m_optionalSize = 0;
  uint32_t m_sizeOfHeaders = 0;
  DataDirectory m_resources;
  std::vector<Section> m_sections;
  std::unordered_set<uint32_t> m_visitedDirectories;
};

std::string VersionNumbers(uint32_t ms, uint32_t ls) {
  return Format("%d.%d.%d.%d", static_cast<int>(ms >> 16), static_cast<int>(ms & 0xFFFF), static_cast<int>(ls >> 16),
                static_cast<int>(ls & 0xFFFF));
}

}  // namespace

std::string FixedFileInfo::fileVersionText() const { return VersionNumbers(FileVersionMS, FileVersionLS); }
std::string FixedFileInfo::productVersionText() const { return VersionNumbers(ProductVersionMS, ProductVersionLS); }

std::vector<std::string> FixedFileInfo::flagNames() const {
  std::vector<std::string> names;
  for (uint32_t bit = 1; bit != 0; bit <<= 1) {
    if (!(FileFlags & bit)) continue;
    const std::string_view name = pe::FileFlagName(bit);
    names.push_back(name.empty() ? Format("0x%X", bit) : std::string(name));
  }
  return names;
}

bool ProgramFileInfo::isDll() const { return (Characteristics & pe::kFileDll) != 0; }
std::string_view ProgramFileInfo::machineName() const { return pe::MachineName(Machine); }
std::string_view ProgramFileInfo::subsystemName() const { return pe::SubsystemName(Subsystem); }
std::string ProgramFileInfo::subsystemVersionText() const { return Format("%u.%u", SubsystemMajor, SubsystemMinor); }

const std::string* ProgramFileInfo::string(std::string_view key) const {
  for (const VersionString& s : Strings) {
    if (s.Key.size() != key.size()) continue;
    if (std::equal(key.begin(), key.end(), s.Key.begin(), [](char a, char b) {
          const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
          return lower(a) == lower(b);
        }))
      return &s.Value;
  }
  return nullptr;
}

ProgramFileReadResult ReadProgramFile(std::span<const uint8_t> bytes) {
  ProgramFileReadResult result;
  ProgramFileParser(bytes, result).run();
  return result;
}

ProgramFileReadResult ReadProgramFile(std::string_view bytes) {
  return ReadProgramFile(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

bool LooksLikeProgramFile(std::string_view bytes) {
  ByteReader r(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
  if (r.u16() != pe::kDosMagic) return false;
  r.seek(pe::kNewHeaderOffsetField);
  r.seek(r.u32());
  return r.u32() == pe::kPeSignature && r.ok();
}

bool IsProgramFileExtension(std::string_view extension) {
  const std::string lower = LowerCp1252(extension);
  return lower == ".exe" || lower == ".dll" || lower == ".ocx" || lower == ".cpl";
}

std::string VersionText(const ProgramFileInfo& info) {
  if (info.Version != VersionResourceState::Read || !info.Fixed) return {};
  std::string text = info.Fixed->fileVersionText();
  if (info.Fixed->FileFlags & pe::kFlagPrerelease) text += " Beta";
  if (info.Fixed->FileFlags & pe::kFlagDebug) text += " Debug";
  return text;
}

std::string VersionSuffix(const ProgramFileInfo& info) {
  const std::string text = VersionText(info);
  return " (v. " + (text.empty() ? std::string("?") : text) + ")";
}

}  // namespace vornix

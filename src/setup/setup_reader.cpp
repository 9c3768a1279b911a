#include <algorithm>
#include <fstream>
#include <iterator>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "common/byte_reader.h"
#include "common/text.h"
#include "setup/setup_info.h"

namespace vornix {

std::string SetupTooLargeMessage(const std::string& name, uint64_t size) {
  return Format("Setup description \"%s\" refused: %llu bytes, more than the %llu a setup description may hold",
                name.c_str(), static_cast<unsigned long long>(size),
                static_cast<unsigned long long>(kMaxSetupFileSize));
}

namespace {

template <typename T>
const T* FindById(const std::vector<T>& list, uint32_t id) {
  for (const auto& item : list)
    if (item.Id == id) return &item;
  return nullptr;
}

template <typename T>
const T* FindIndexed(const std::unordered_map<uint16_t, size_t>& index, const std::vector<T>& list, uint32_t id) {
  if (id > UINT16_MAX) return nullptr;
  const auto it = index.find(static_cast<uint16_t>(id));
  return it == index.end() ? nullptr : &list[it->second];
}

template <typename T>
void IndexById(const std::vector<T>& list, std::unordered_map<uint16_t, size_t>& index) {
  index.clear();
  for (size_t i = 0; i < list.size(); ++i) index.emplace(list[i].Id, i);  // the first record wins
}

// The text up to its first NUL.
std::string UpToNul(std::string_view bytes) {
  const size_t nul = bytes.find('\0');
  return std::string(nul == std::string_view::npos ? bytes : bytes.substr(0, nul));
}

std::string DropLast(std::string text) {
  if (!text.empty()) text.pop_back();
  return text;
}

struct CaseLess {
  bool operator()(const std::string& a, const std::string& b) const { return CompareNoCase(a, b) < 0; }
};

// ---------------------------------------------------------------------------
// What the records will cost once shown. Each record is counted for a fixed
// part (the record, its list row, its report line, its JSON object) and for
// the texts the presentation makes of it, which are copied about that many
// times on their way to the lists, the report and the JSON. Only the lengths
// of those texts are worked out here.

constexpr uint64_t kRecordCost = 2048;
constexpr uint64_t kTextCopies = 4;

uint64_t Digits(uint32_t n) {
  uint64_t digits = 1;
  for (; n >= 10; n /= 10) ++digits;
  return digits;
}

// "(%.3u) " before a folder or a target: the ID takes at least three digits.
uint64_t IdPrefixLength(uint32_t id) { return std::max<uint64_t>(Digits(id), 3) + 3; }

// A file's name as the INF writes it: quoted unless it is a short one.
uint64_t InfNameLength(std::string_view name) { return name.size() + (IsShortName(name) ? 0 : 2); }

// Occurrences of `pattern`, counted from every position or, like a
// replacement, from after each one found.
uint64_t Occurrences(std::string_view text, std::string_view pattern, bool overlapping) {
  uint64_t n = 0;
  for (size_t at = text.find(pattern); at != std::string_view::npos;
       at = text.find(pattern, at + (overlapping ? 1 : pattern.size())))
    ++n;
  return n;
}

// A registry value as the lists show it before its macros are applied: the
// text of a string, the quoted texts of a multi-string, hexadecimal digits of
// binary data and of a DWORD.
std::string ValueTextForCost(uint32_t flags, std::string_view data, uint64_t& length) {
  const std::string_view type = RegTypeName(flags);
  if (type == "REG_SZ") {
    const std::string_view text = RegSzText(data);
    length = text.size();
    return std::string(text);
  }
  if (type == "REG_MULTI_SZ") {
    std::string joined;
    for (std::string_view item : RegMultiSzTexts(data)) {
      if (!joined.empty()) joined += ',';
      joined += '"';
      joined += item;
      joined += '"';
    }
    length = joined.size();
    return joined;
  }
  uint32_t dword = 0;
  if (type == "REG_BINARY")
    length = data.size() * 2;
  else if (type == "REG_DWORD" && RegDwordValue(data, dword))
    length = 8;
  else
    length = 0;
  return {};  // digits hold no macro
}

// ---------------------------------------------------------------------------

class SetupParser {
 public:
  SetupParser(ByteReader& reader, const SetupReadInput& input, TSetupInfo& info)
      : m_reader(reader), m_input(input), m_info(info) {}

  /// True when the records would cost more than kMaxSetupRecordCost.
  bool tooLarge() const { return m_cost > kMaxSetupRecordCost; }

  void run() {
    findSetupDll();
    readHeaderTexts();
    const TSetupHeader& h = m_info.Header;
    if (h.StringCount) readSection(h.StringOffset, h.StringCount, &SetupParser::readString);
    if (!m_reader.ok()) return;
    if (!m_info.Strings.empty()) {
      m_info.InstallDir = m_info.Strings.front().Value;
      m_info.InstallDirExpanded = m_info.Strings.front().Equivalent;
    }
    m_info.ProviderInInstallDir =
        !m_info.Provider.empty() && m_info.InstallDir.find(m_info.Provider) != std::string::npos;
    if (h.DirCount) readSection(h.DirOffset, h.DirCount, &SetupParser::readDir);
    if (h.FileCount) readSection(h.FileOffset, h.FileCount, &SetupParser::readFile);
    if (h.HiveCount) readSection(h.HiveOffset, h.HiveCount, &SetupParser::readHive);
    if (h.RegKeyCount) readSection(h.RegKeyOffset, h.RegKeyCount, &SetupParser::readRegKey);
    if (h.ShortcutCount) readSection(h.ShortcutOffset, h.ShortcutCount, &SetupParser::readShortcut);
    m_info.Duplicates.assign(m_duplicates.begin(), m_duplicates.end());
    m_info.HasDuplicates = !m_info.Duplicates.empty();
  }

 private:
  // Records name records of earlier sections only: each section is indexed
  // once it is read, so the lookups of the next ones do not scan the lists.
  void readSection(uint32_t offset, uint16_t count, void (SetupParser::*readOne)()) {
    if (tooLarge()) return;
    m_reader.seek(offset);
    for (uint16_t i = 0; i < count && m_reader.ok() && !tooLarge(); ++i) (this->*readOne)();
    m_info.indexIds();
  }

  void spend(uint64_t textBytes, uint64_t otherBytes = 0) {
    m_cost += kRecordCost + textBytes * kTextCopies + otherBytes;
  }

  // Stops a text that grows with every ID it names before it takes the memory
  // it would cost: one record can name one long string thousands of times.
  bool overBudget(uint64_t textBytes) {
    if (m_cost + textBytes * kTextCopies <= kMaxSetupRecordCost) return false;
    m_cost = kMaxSetupRecordCost + 1;
    return true;
  }

  void findSetupDll() {
    if (!m_input.CabinetMode || !m_input.Listing) return;
    if (const TCABFileEntry* e = FindSetupDll(*m_input.Listing)) {
      m_info.SetupDll.Name = e->Name;
      m_info.SetupDll.Size = e->Size;
      m_info.SetupDll.DosDate = e->DosDate;
      m_info.SetupDll.DosTime = e->DosTime;
    }
  }

  std::string_view slice(uint16_t offset, uint16_t length) {
    m_reader.seek(offset);
    return m_reader.bytes(length);
  }

  void readHeaderTexts() {
    const TSetupHeader& h = m_info.Header;
    if (h.AppNameLength) m_info.AppName = UpToNul(slice(h.AppNameOffset, h.AppNameLength));
    if (h.ProviderLength) m_info.Provider = UpToNul(slice(h.ProviderOffset, h.ProviderLength));
    if (h.UnsupportedLength) {
      for (std::string_view item : RegMultiSzTexts(slice(h.UnsupportedOffset, h.UnsupportedLength)))
        m_info.UnsupportedPlatforms.emplace_back(item);
    }
  }

  // Reads up to `max` string IDs, stopping after a 0; returns whether the 0 came.
  bool readIdList(size_t max, std::vector<uint16_t>& ids) {
    for (size_t k = 0; k < max && m_reader.ok(); ++k) {
      const uint16_t id = m_reader.u16();
      if (id == 0) return m_reader.ok();
      ids.push_back(id);
    }
    return false;
  }

  void readString() {
    AListChaine c;
    c.Id = m_reader.u16();
    const uint16_t count = m_reader.u16();
    c.Value = UpToNul(m_reader.bytes(count));
    if (!m_reader.ok()) return;
    c.Equivalent = Expand(c.Value);
    spend(c.Value.size() + c.Equivalent.size());
    m_info.Strings.push_back(std::move(c));
  }

  void readDir() {
    AListDir d;
    d.Id = m_reader.u16();
    const uint16_t count = m_reader.u16();
    const size_t end = m_reader.tell() + count;
    const bool complete = readIdList(count / 2, d.StringIds);
    // A list that stops at its 0 before the byte count ends would otherwise
    // leave the next record misaligned: always resume at the record's end.
    m_reader.seek(end);
    if (!m_reader.ok() || !complete) return;
    uint64_t idPath = 0;  // "1\7": the IDs and their separators
    for (uint16_t id : d.StringIds) {
      idPath += Digits(id) + 1;
      const AListChaine* c = m_info.findString(id);
      if (c && overBudget(d.Path.size() + d.RawPath.size() + c->Equivalent.size() + c->Value.size())) return;
      d.Path += (c ? c->Equivalent : std::string("?")) + "\\";
      d.RawPath += (c ? c->Value : std::string("?")) + "\\";
    }
    if (idPath) --idPath;
    d.Path = DropLast(d.Path);
    d.RawPath = DropLast(d.RawPath);
    // A string ID becomes a JSON number of its own.
    spend(idPath + d.Path.size() + d.RawPath.size(), d.StringIds.size() * 32);
    m_info.Dirs.push_back(std::move(d));
  }

  void matchCabinetEntry(AListFiles& f) {
    if (!m_input.CabinetMode || !m_input.Listing) return;
    const CabListing& listing = *m_input.Listing;
    if (m_firstByExtension.empty()) {
      // Built once: matching each file by scanning the listing is quadratic
      // in packages of thousands of files.
      for (size_t i = listing.size(); i-- > 0;) m_firstByExtension[std::string(ExtensionOf(listing[i].Name))] = i;
    }
    const auto hit = m_firstByExtension.find(EntryExtensionFor(f.Id));
    if (hit == m_firstByExtension.end()) return;
    const TCABFileEntry& e = listing[hit->second];
    f.Entry = CabinetEntryRef{e.Name, e.Size, e.DosDate, e.DosTime};
  }

  // The texts a file record is shown with: name, INF name, cabinet name,
  // folder, type and copy line.
  uint64_t fileTextBytes(const AListFiles& f) const {
    const uint64_t inf = InfNameLength(f.Name);
    uint64_t cab = f.Entry ? f.Entry->Name.size() : 0;
    if (!m_input.CabinetMode || !m_input.Listing) cab = 12;  // "~~~~~~~~~~~~"
    const AListDir* d = m_info.findDir(f.DirId);
    const uint64_t folder = d ? IdPrefixLength(f.DirId) + d->Path.size() : 0;
    const std::string_view ext = ExtensionOf(f.Name);
    const uint64_t type = ext.empty() ? 0 : ext.size() - 1;
    return f.Name.size() + inf + cab + folder + type + inf + 13;  // the copy line: ",,,0x%08X"
  }

  void readFile() {
    AListFiles f;
    f.Id = m_reader.u16();
    f.DirId = m_reader.u16();
    f.OrderNumber = m_reader.u16();
    f.Flags = m_reader.u32();
    const uint16_t count = m_reader.u16();
    f.Name = UpToNul(m_reader.bytes(count));
    if (!m_reader.ok()) return;
    matchCabinetEntry(f);
    spend(fileTextBytes(f));
    if (!m_names.insert(LowerCp1252(f.Name)).second) m_duplicates.insert(f.Name);
    m_info.Files.push_back(std::move(f));
  }

  void readHive() {
    AListHive h;
    h.Id = m_reader.u16();
    h.Root = m_reader.u16();
    m_reader.u16();
    const uint16_t count = m_reader.u16();
    const size_t end = m_reader.tell() + count;
    readIdList(count / 2, h.StringIds);
    m_reader.seek(end);
    if (!m_reader.ok()) return;
    for (uint16_t id : h.StringIds) {
      const AListChaine* c = m_info.findString(id);
      if (c && overBudget(h.Path.size() + c->Value.size())) return;
      if (c) h.Path += c->Value + "\\";
    }
    h.Path = DropLast(h.Path);
    spend(h.Path.size(), h.StringIds.size() * 32);
    m_info.Hives.push_back(std::move(h));
  }

  void readRegKey() {
    AListReg k;
    k.Id = m_reader.u16();
    k.HiveId = m_reader.u16();
    m_reader.u16();
    k.Flags = m_reader.u32();
    const uint16_t count = m_reader.u16();
    const std::string_view data = m_reader.bytes(count);
    if (!m_reader.ok()) return;
    const size_t nul = data.find('\0');
    k.Name = std::string(data.substr(0, nul));
    if (nul != std::string_view::npos) k.Data = std::string(data.substr(nul + 1));
    // The value is shown with its macros applied and every "%InstallDir%"
    // replaced by the whole install folder: a short value can ask for a lot.
    uint64_t rawLength = 0;
    const std::string expanded = Expand(ValueTextForCost(k.Flags, k.Data, rawLength));
    const uint64_t expandedLength = expanded.empty() ? rawLength : expanded.size();
    const uint64_t installDir = m_info.InstallDirExpanded.size();
    if (overBudget(expandedLength + Occurrences(expanded, "%InstallDir%", true) * installDir)) return;
    const uint64_t replaced = Occurrences(expanded, "%InstallDir%", false);
    const uint64_t valueLength = expandedLength - replaced * 12 + replaced * installDir;
    const AListHive* hive = m_info.findHive(k.HiveId);
    const uint64_t hiveText =
        hive ? IdPrefixLength(k.HiveId) + 2 + HiveRootName(hive->Root).size() + 1 + hive->Path.size() : 0;
    spend(hiveText + k.Name.size() + rawLength + valueLength);
    m_info.RegKeys.push_back(std::move(k));
  }

  void place(AListRac& rac) {
    rac.OwnSection = false;
    rac.StandardFolder = 0;
    if (rac.BaseDirId != 0) {
      const AListDir* d = m_info.findDir(rac.BaseDirId);
      // A base directory that names no directory stays in the install
      // directory's list, so the rebuilt INF still has somewhere to put it.
      if (!d) return;
      rac.InstalledAt = d->Path;
      rac.InstalledAtRaw = d->RawPath;
      if (rac.InstalledAtRaw == m_info.InstallDir) return;
      for (size_t m = 0; m < kDirectoryMacros.size(); ++m) {
        if (rac.InstalledAtRaw == kDirectoryMacros[m].Macro) {
          rac.StandardFolder = static_cast<uint16_t>(m + 1);
          return;
        }
      }
      rac.OwnSection = true;
    } else if (rac.FolderNumber != 0) {
      rac.InstalledAtRaw = Format("%%CE%d%%", rac.FolderNumber);
      rac.InstalledAt = Expand(rac.InstalledAtRaw);
      rac.StandardFolder = rac.FolderNumber;
    } else {
      rac.InstalledAtRaw = m_info.InstallDir;
      rac.InstalledAt = m_info.InstallDirExpanded;
    }
  }

  // What the target is shown as: "(001) " and the folder or file it names,
  // the setup DLL for file 999, "?" for anything else.
  uint64_t targetTextBytes(const AListRac& rac) const {
    if (rac.Kind == 0) {
      const AListDir* d = m_info.findDir(rac.TargetId);
      return d ? IdPrefixLength(rac.TargetId) + d->Path.size() : 0;
    }
    if (rac.Kind != 1) return 1;
    if (const AListFiles* f = m_info.findFile(rac.TargetId))
      return IdPrefixLength(rac.TargetId) + InfNameLength(f->Name);
    if (rac.TargetId == 999 && m_info.SetupDll.present() && !m_info.Files.empty())
      return 6 + ChangeExtension(m_info.SetupDll.Name, ".dll").size();
    return 1;
  }

  void readShortcut() {
    AListRac rac;
    rac.Id = m_reader.u16();
    rac.BaseDirId = m_reader.u16();
    rac.FolderNumber = m_reader.u16();
    rac.TargetId = m_reader.u16();
    rac.Kind = m_reader.u16();
    const uint16_t count = m_reader.u16();
    for (size_t k = 0; k < count / 2u && m_reader.ok(); ++k) rac.StringIds.push_back(m_reader.u16());
    m_reader.skip(count % 2u);
    if (!m_reader.ok()) return;
    for (uint16_t id : rac.StringIds) {
      if (id == 0) continue;
      const AListChaine* c = m_info.findString(id);
      if (c && overBudget(rac.Name.size() + c->Equivalent.size())) return;
      if (c) rac.Name += c->Equivalent + "\\";
    }
    rac.Name = DropLast(rac.Name);
    place(rac);
    spend(rac.Name.size() + rac.InstalledAt.size() + rac.InstalledAtRaw.size() + targetTextBytes(rac));
    if (rac.OwnSection)
      m_info.HasOwnSections = true;
    else
      m_info.HasShortList = true;
    m_info.Shortcuts.push_back(std::move(rac));
  }

  ByteReader& m_reader;
  const SetupReadInput& m_input;
  TSetupInfo& m_info;
  std::unordered_set<std::string> m_names;  // folded to one letter case
  std::set<std::string, CaseLess> m_duplicates;
  std::unordered_map<std::string, size_t> m_firstByExtension;
  uint64_t m_cost = 0;
};

TSetupHeader DecodeHeader(ByteReader& r) {
  TSetupHeader h;
  const std::string_view sig = r.bytes(4);
  std::copy(sig.begin(), sig.end(), h.Signature);
  r.skip(4);
  h.FileSize = r.u32();
  r.skip(8);
  h.ProcessorCode = r.i32();
  h.MinVersionMajor = r.i32();
  h.MinVersionMinor = r.i32();
  h.MaxVersionMajor = r.i32();
  h.MaxVersionMinor = r.i32();
  h.MinBuild = r.i32();
  h.MaxBuild = r.i32();
  h.StringCount = r.u16();
  h.DirCount = r.u16();
  h.FileCount = r.u16();
  h.HiveCount = r.u16();
  h.RegKeyCount = r.u16();
  h.ShortcutCount = r.u16();
  h.StringOffset = r.u32();
  h.DirOffset = r.u32();
  h.FileOffset = r.u32();
  h.HiveOffset = r.u32();
  h.RegKeyOffset = r.u32();
  h.ShortcutOffset = r.u32();
  h.AppNameOffset = r.u16();
  h.AppNameLength = r.u16();
  h.ProviderOffset = r.u16();
  h.ProviderLength = r.u16();
  h.UnsupportedOffset = r.u16();
  h.UnsupportedLength = r.u16();
  return h;
}

const std::string& ShownName(const SetupReadInput& input) {
  return input.DisplayName.empty() ? input.Path : input.DisplayName;
}

}  // namespace

const AListChaine* TSetupInfo::findString(uint32_t id) const {
  return m_index ? FindIndexed(m_index->Strings, Strings, id) : FindById(Strings, id);
}
const AListDir* TSetupInfo::findDir(uint32_t id) const {
  return m_index ? FindIndexed(m_index->Dirs, Dirs, id) : FindById(Dirs, id);
}
const AListFiles* TSetupInfo::findFile(uint32_t id) const {
  return m_index ? FindIndexed(m_index->Files, Files, id) : FindById(Files, id);
}
const AListHive* TSetupInfo::findHive(uint32_t id) const {
  return m_index ? FindIndexed(m_index->Hives, Hives, id) : FindById(Hives, id);
}

void TSetupInfo::indexIds() {
  Index index;
  IndexById(Strings, index.Strings);
  IndexById(Dirs, index.Dirs);
  IndexById(Files, index.Files);
  IndexById(Hives, index.Hives);
  m_index = std::move(index);
}

int TSetupInfo::hivePosition(uint32_t id) const {
  for (size_t i = 0; i < Hives.size(); ++i)
    if (Hives[i].Id == id) return static_cast<int>(i);
  return -1;
}

bool TSetupInfo::dirHoldsFiles(uint32_t dirId) const {
  return std::any_of(Files.begin(), Files.end(), [&](const AListFiles& f) { return f.DirId == dirId; });
}

Result<TSetupInfo> ReadSetupBytes(const std::string& bytes, const SetupReadInput& input) {
  if (bytes.size() < kSetupHeaderSize) return MakeError(ErrorCode::NoHeader, kNoHeaderMessage, bytes.size());
  const std::string& name = ShownName(input);
  if (bytes.size() > kMaxSetupFileSize) return MakeError(ErrorCode::TooLarge, SetupTooLargeMessage(name, bytes.size()));

  ByteReader r({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
  TSetupInfo info;
  info.Header = DecodeHeader(r);
  info.ActualFileSize = bytes.size();
  info.CabinetMode = input.CabinetMode;
  if (info.Header.FileSize != bytes.size())
    return MakeError(ErrorCode::SizeWrong, kSizeWrongMessage, kHeaderFileSizeOffset);
  info.Signature.assign(info.Header.Signature, 4);
  if (input.CheckSignature && info.Signature != "MSCE" && info.Signature != "CE4+")
    return MakeError(ErrorCode::BadSignature, kBadSignatureMessage + info.Signature, kHeaderSignatureOffset);

  SetupParser parser(r, input, info);
  parser.run();
  if (parser.tooLarge()) {
    return MakeError(ErrorCode::TooLarge,
                     Format("Setup description \"%s\" refused: its records would take more than %llu MB to show",
                            name.c_str(), static_cast<unsigned long long>(kMaxSetupRecordCost >> 20)));
  }
  if (!r.ok()) return MakeError(ErrorCode::Truncated, "Read error in \"" + name + "\" : " + r.error(), r.errorOffset());
  info.indexIds();
  return info;
}

Error SetupCannotOpenError(const std::string& name) {
  return MakeError(ErrorCode::CannotOpen, "Read error in \"" + name + "\" : the file cannot be opened");
}

Result<TSetupInfo> ReadSetupFile(const SetupReadInput& input) {
  const std::string& name = ShownName(input);
  std::ifstream file(input.Path, std::ios::binary | std::ios::ate);
  if (!file) return SetupCannotOpenError(name);
  // The size is checked before anything is read.
  const std::streamoff size = file.tellg();
  if (size > static_cast<std::streamoff>(kMaxSetupFileSize))
    return MakeError(ErrorCode::TooLarge, SetupTooLargeMessage(name, static_cast<uint64_t>(size)));
  file.seekg(0);
  std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  return ReadSetupBytes(bytes, input);
}

}  // namespace vornix

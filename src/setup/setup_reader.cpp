#include <algorithm>
#include <fstream>
#include <iterator>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "common/byte_reader.h"
#include "presentation/catalogue.h"
#include "common/text.h"
#include "setup/setup_info.h"

namespace vornix {

std::string IdText3(uint32_t id) { return Format("%.3u", id); }

std::string SetupTooLargeMessage(const std::string& name, uint64_t size) {
  return Format("Setup description \"%s\" refused: %llu bytes, more than the %llu a setup description may hold",
                name.c_str(), static_cast<unsigned long long>(size),
                static_cast<unsigned long long>(kMaxSetupFileSize));
}

bool IsShortInfName(std::string_view name) {
  if (name.find(' ') != std::string_view::npos) return false;
  const size_t dot = name.find_last_of('.');
  const std::string_view base = dot == std::string_view::npos ? name : name.substr(0, dot);
  const std::string_view ext = dot == std::string_view::npos ? std::string_view{} : name.substr(dot);
  return base.size() <= 8 && ext.size() <= 4;
}

namespace {

template <typename T>
const T* FindById(const std::vector<T>& list, uint32_t id) {
  for (const auto& item : list)
    if (item.Id == id) return &item;
  return nullptr;
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

// The cost of a record for kMaxSetupRecordCost: a fixed part (the record, its
// list row, its report line, its JSON object) and its texts, which are copied
// about that many times on their way to the lists, the report and the JSON.
constexpr uint64_t kRecordCost = 2048;
constexpr uint64_t kTextCopies = 4;

uint64_t TextBytes(std::initializer_list<const std::string*> texts) {
  uint64_t n = 0;
  for (const std::string* t : texts) n += t->size();
  return n;
}

class SetupParser {
 public:
  SetupParser(ByteReader& reader, const SetupReadInput& input, TSetupInfo& info)
      : r(reader), in(input), s(info) {}

  /// True when the records would cost more than kMaxSetupRecordCost.
  bool tooLarge() const { return m_cost > kMaxSetupRecordCost; }

  void run() {
    findSetupDll();
    decodeHeaderTexts();
    readHeaderTexts();
    const TSetupHeader& h = s.Header;
    if (h.StringCount) readSection(h.StringOffset, h.StringCount, &SetupParser::readString);
    if (!r.ok()) return;
    if (!s.Strings.empty()) {
      s.InstallDir = s.Strings.front().Value;
      s.InstallDirExpanded = s.Strings.front().Equivalent;
    }
    s.ProviderInInstallDir = !s.Provider.empty() && s.InstallDir.find(s.Provider) != std::string::npos;
    if (h.DirCount) readSection(h.DirOffset, h.DirCount, &SetupParser::readDir);
    if (h.FileCount) readSection(h.FileOffset, h.FileCount, &SetupParser::readFile);
    if (h.HiveCount) readSection(h.HiveOffset, h.HiveCount, &SetupParser::readHive);
    if (h.RegKeyCount) readSection(h.RegKeyOffset, h.RegKeyCount, &SetupParser::readRegKey);
    if (h.ShortcutCount) readSection(h.ShortcutOffset, h.ShortcutCount, &SetupParser::readShortcut);
    s.Duplicates.assign(m_duplicates.begin(), m_duplicates.end());
    s.HasDuplicates = !s.Duplicates.empty();
  }

 private:
  void readSection(uint32_t offset, uint16_t count, void (SetupParser::*readOne)()) {
    if (tooLarge()) return;
    r.seek(offset);
    for (uint16_t i = 0; i < count && r.ok() && !tooLarge(); ++i) (this->*readOne)();
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

  // Lookups by ID (the first record in file order, as TSetupInfo's find
  // functions answer), kept as the sections are read: scanning the lists for
  // every ID a record names is quadratic in large descriptions.
  template <typename T>
  static const T* Lookup(const std::unordered_map<uint16_t, size_t>& index, const std::vector<T>& list, uint32_t id) {
    const auto it = index.find(static_cast<uint16_t>(id));
    return id <= UINT16_MAX && it != index.end() ? &list[it->second] : nullptr;
  }
  const AListChaine* findString(uint32_t id) const { return Lookup(m_stringAt, s.Strings, id); }
  const AListDir* findDir(uint32_t id) const { return Lookup(m_dirAt, s.Dirs, id); }
  const AListFiles* findFile(uint32_t id) const { return Lookup(m_fileAt, s.Files, id); }
  const AListHive* findHive(uint32_t id) const { return Lookup(m_hiveAt, s.Hives, id); }

  void findSetupDll() {
    if (!in.CabinetMode || !in.Listing) return;
    const CabListing& l = *in.Listing;
    for (size_t i = 0; i < l.Names.size(); ++i) {
      if (ExtensionOf(l.Names[i]) == ".999") {
        s.SetupDll.Name = l.Names[i];
        s.SetupDll.Size = i < l.Sizes.size() ? l.Sizes[i] : std::string();
        s.SetupDll.Date = i < l.Dates.size() ? l.Dates[i] : std::string();
        return;
      }
    }
  }

  void decodeHeaderTexts() {
    const TSetupHeader& h = s.Header;
    const char* name = ProcessorName(h.ProcessorCode);
    s.ProcessorText = Format("%d (%s)", h.ProcessorCode, name ? name : Str(MainStr::LblUnknown).c_str());
    s.MinVersion = Format("%d.%d", h.MinVersionMajor, h.MinVersionMinor);
    s.MaxVersion = Format("%d.%d", h.MaxVersionMajor, h.MaxVersionMinor);
    s.MinBuild = Format("%d", h.MinBuild);
    s.MaxBuild = Format("%d", h.MaxBuild);
    s.ProcessorTypeText = Format("%d", h.ProcessorCode);
  }

  std::string_view slice(uint16_t offset, uint16_t length) {
    r.seek(offset);
    return r.bytes(length);
  }

  void readHeaderTexts() {
    const TSetupHeader& h = s.Header;
    if (h.AppNameLength) s.AppName = UpToNul(slice(h.AppNameOffset, h.AppNameLength));
    if (h.ProviderLength) s.Provider = UpToNul(slice(h.ProviderOffset, h.ProviderLength));
    if (h.UnsupportedLength) {
      std::string_view list = slice(h.UnsupportedOffset, h.UnsupportedLength);
      std::string joined;
      while (!list.empty()) {
        const size_t nul = list.find('\0');
        const std::string_view item = list.substr(0, nul);
        if (item.empty()) break;
        if (!joined.empty()) joined += ',';
        joined += '"';
        joined += item;
        joined += '"';
        if (nul == std::string_view::npos) break;
        list.remove_prefix(nul + 1);
      }
      s.UnsupportedPlatforms = joined;
    }
  }

  // Reads up to `max` string IDs, stopping after a 0; returns whether the 0 came.
  bool readIdList(size_t max, std::vector<uint16_t>& ids) {
    for (size_t k = 0; k < max && r.ok(); ++k) {
      const uint16_t id = r.u16();
      if (id == 0) return r.ok();
      ids.push_back(id);
    }
    return false;
  }

  void readString() {
    AListChaine c;
    c.Id = r.u16();
    const uint16_t count = r.u16();
    c.Value = UpToNul(r.bytes(count));
    if (!r.ok()) return;
    c.IdText = IdText3(c.Id);
    c.Equivalent = Expand(c.Value);
    spend(TextBytes({&c.Value, &c.Equivalent}));
    m_stringAt.emplace(c.Id, s.Strings.size());
    s.Strings.push_back(std::move(c));
  }

  void readDir() {
    AListDir d;
    d.Id = r.u16();
    const uint16_t count = r.u16();
    const size_t end = r.tell() + count;
    const bool complete = readIdList(count / 2, d.StringIds);
    // A list that stops at its 0 before the byte count ends would otherwise
    // leave the next record misaligned: always resume at the record's end.
    r.seek(end);
    if (!r.ok() || !complete) return;
    d.IdText = IdText3(d.Id);
    for (uint16_t id : d.StringIds) {
      d.IdPath += Format("%u\\", id);
      const AListChaine* c = findString(id);
      if (c && overBudget(d.Path.size() + d.RawPath.size() + c->Equivalent.size() + c->Value.size())) return;
      d.Path += (c ? c->Equivalent : std::string("?")) + "\\";
      d.RawPath += (c ? c->Value : std::string("?")) + "\\";
    }
    d.IdPath = DropLast(d.IdPath);
    d.Path = DropLast(d.Path);
    d.RawPath = DropLast(d.RawPath);
    // A string ID becomes a JSON number of its own.
    spend(TextBytes({&d.IdPath, &d.Path, &d.RawPath}), d.StringIds.size() * 32);
    m_dirAt.emplace(d.Id, s.Dirs.size());
    s.Dirs.push_back(std::move(d));
  }

  void matchCabinetEntry(AListFiles& f) {
    f.CabSize = " ";
    f.CabDate = " ";
    if (!in.CabinetMode || !in.Listing) {
      f.CabName = "~~~~~~~~~~~~";
      return;
    }
    const CabListing& l = *in.Listing;
    if (m_firstByExtension.empty()) {
      // Built once: matching each file by scanning the listing is quadratic
      // in packages of thousands of files.
      for (size_t i = l.Names.size(); i-- > 0;) m_firstByExtension[std::string(ExtensionOf(l.Names[i]))] = i;
    }
    const auto hit = m_firstByExtension.find("." + f.IdText);
    if (hit == m_firstByExtension.end()) return;
    const size_t i = hit->second;
    f.CabName = l.Names[i];
    if (i < l.Sizes.size()) f.CabSize = l.Sizes[i];
    if (i < l.Dates.size()) f.CabDate = l.Dates[i];
  }

  void readFile() {
    AListFiles f;
    f.Id = r.u16();
    f.DirId = r.u16();
    f.OrderNumber = r.u16();
    f.Flags = r.u32();
    const uint16_t count = r.u16();
    f.Name = UpToNul(r.bytes(count));
    if (!r.ok()) return;
    f.IdText = IdText3(f.Id);
    f.InfName = IsShortInfName(f.Name) ? f.Name : "\"" + f.Name + "\"";
    matchCabinetEntry(f);
    if (const AListDir* d = findDir(f.DirId)) f.DirText = "(" + IdText3(f.DirId) + ") " + d->Path;
    f.OrderText = IdText3(f.OrderNumber);
    f.FlagsText = Format("0x%08X", f.Flags);
    std::string_view ext = ExtensionOf(f.Name);
    if (!ext.empty()) ext.remove_prefix(1);
    f.TypeText = LowerCp1252(ext);
    f.CopyLine = f.InfName + ",,," + Format("0x%08X", f.Flags & ~kFileSelfRegister);

    spend(TextBytes({&f.Name, &f.InfName, &f.CabName, &f.DirText, &f.TypeText, &f.CopyLine}));
    if (!m_names.insert(LowerCp1252(f.Name)).second) m_duplicates.insert(f.Name);
    if (f.Flags & kFileSelfRegister) s.SelfRegister.push_back(f.InfName);
    m_fileAt.emplace(f.Id, s.Files.size());
    s.Files.push_back(std::move(f));
  }

  void readHive() {
    AListHive h;
    h.Id = r.u16();
    h.Root = r.u16();
    r.u16();
    const uint16_t count = r.u16();
    const size_t end = r.tell() + count;
    readIdList(count / 2, h.StringIds);
    r.seek(end);
    if (!r.ok()) return;
    h.IdText = IdText3(h.Id);
    h.RootName = std::string(HiveRootName(h.Root));
    for (uint16_t id : h.StringIds) {
      const AListChaine* c = findString(id);
      if (c && overBudget(h.Path.size() + c->Value.size())) return;
      if (c) h.Path += c->Value + "\\";
    }
    h.Path = DropLast(h.Path);
    spend(TextBytes({&h.Path}), h.StringIds.size() * 32);
    m_hiveAt.emplace(h.Id, s.Hives.size());
    s.Hives.push_back(std::move(h));
  }

  static std::string DecodeRegValue(std::string_view type, std::string_view bytes,
                                    std::vector<std::string>& texts) {
    if (type == "REG_SZ") return UpToNul(bytes);
    if (type == "REG_BINARY") {
      std::string hex;
      for (char b : bytes) hex += Format("%02X", static_cast<unsigned char>(b));
      return hex;
    }
    if (type == "REG_MULTI_SZ") {
      std::string joined;
      while (!bytes.empty()) {
        const size_t nul = bytes.find('\0');
        const std::string_view item = bytes.substr(0, nul);
        if (item.empty()) break;
        if (!joined.empty()) joined += ',';
        joined += '"';
        joined += item;
        joined += '"';
        texts.emplace_back(item);
        if (nul == std::string_view::npos) break;
        bytes.remove_prefix(nul + 1);
      }
      return joined;
    }
    if (type == "REG_DWORD" && bytes.size() == 4) {
      const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
      return Format("%08X", p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<unsigned>(p[3]) << 24));
    }
    return {};
  }

  void readRegKey() {
    AListReg k;
    k.Id = r.u16();
    k.HiveId = r.u16();
    r.u16();
    k.Flags = r.u32();
    const uint16_t count = r.u16();
    const std::string_view data = r.bytes(count);
    if (!r.ok()) return;
    k.IdText = IdText3(k.Id);
    if (const AListHive* h = findHive(k.HiveId))
      k.HiveText = "(" + IdText3(k.HiveId) + ") - " + h->RootName + "\\" + h->Path;
    k.TypeName = std::string(RegTypeName(k.Flags));
    k.FlagsText = Format("0x%08X", k.Flags);
    const size_t nul = data.find('\0');
    k.Name = std::string(data.substr(0, nul));
    const std::string_view value = nul == std::string_view::npos ? std::string_view{} : data.substr(nul + 1);
    k.RawValue = DecodeRegValue(k.TypeName, value, k.MultiTexts);
    const std::string expanded = Expand(k.RawValue);
    size_t uses = 0;
    for (size_t at = expanded.find("%InstallDir%"); at != std::string::npos; at = expanded.find("%InstallDir%", at + 1))
      ++uses;
    if (overBudget(expanded.size() + uses * s.InstallDirExpanded.size())) return;
    k.Value = ReplaceAll(expanded, "%InstallDir%", s.InstallDirExpanded);
    static const char* const kThemeNames[] = {"tdywaterPct", "stwaterPct", "tdywaterLightDark",
                                              "stwaterLightDark", "tdywater", "stwater"};
    if (k.Name == "42" && k.Value == "6D736674") {
      k.Note = "\"msft\"";
    } else if (std::find(std::begin(kThemeNames), std::end(kThemeNames), k.Name) != std::end(kThemeNames)) {
      k.Note = "Theme Generator Microsoft";
    }
    spend(TextBytes({&k.HiveText, &k.Name, &k.RawValue, &k.Value}));
    s.RegKeys.push_back(std::move(k));
  }

  void place(AListRac& rac) {
    rac.OwnSection = false;
    rac.StandardFolder = "0";
    if (rac.BaseDirId != 0) {
      const AListDir* d = findDir(rac.BaseDirId);
      // A base directory that names no directory stays in the install
      // directory's list, so the rebuilt INF still has somewhere to put it.
      if (!d) return;
      rac.InstalledAt = d->Path;
      rac.InstalledAtRaw = d->RawPath;
      if (rac.InstalledAtRaw == s.InstallDir) return;
      for (size_t m = 0; m < kDirectoryMacros.size(); ++m) {
        if (rac.InstalledAtRaw == kDirectoryMacros[m].Macro) {
          rac.StandardFolder = Format("%zu", m + 1);
          return;
        }
      }
      rac.OwnSection = true;
    } else if (rac.FolderNumber != 0) {
      rac.InstalledAtRaw = Format("%%CE%d%%", rac.FolderNumber);
      rac.InstalledAt = Expand(rac.InstalledAtRaw);
      rac.StandardFolder = Format("%d", rac.FolderNumber);
    } else {
      rac.InstalledAtRaw = s.InstallDir;
      rac.InstalledAt = s.InstallDirExpanded;
    }
  }

  void readShortcut() {
    AListRac rac;
    rac.Id = r.u16();
    rac.BaseDirId = r.u16();
    rac.FolderNumber = r.u16();
    rac.TargetId = r.u16();
    rac.Kind = r.u16();
    const uint16_t count = r.u16();
    for (size_t k = 0; k < count / 2u && r.ok(); ++k) rac.StringIds.push_back(r.u16());
    r.skip(count % 2u);
    if (!r.ok()) return;
    rac.IdText = Format("%u", rac.Id);
    for (uint16_t id : rac.StringIds) {
      if (id == 0) continue;
      const AListChaine* c = findString(id);
      if (c && overBudget(rac.Name.size() + c->Equivalent.size())) return;
      if (c) rac.Name += c->Equivalent + "\\";
    }
    rac.Name = DropLast(rac.Name);
    place(rac);
    switch (rac.Kind) {
      case 0: rac.KindText = Str(MainStr::TabDirectories); break;
      case 1: rac.KindText = Str(MainStr::LblFile); break;
      default: rac.KindText = "?";
    }
    if (rac.Kind == 0) {
      if (const AListDir* d = findDir(rac.TargetId)) rac.TargetText = "(" + IdText3(rac.TargetId) + ") " + d->Path;
    } else if (rac.Kind == 1) {
      if (const AListFiles* f = findFile(rac.TargetId)) {
        rac.TargetText = "(" + IdText3(rac.TargetId) + ") " + f->InfName;
      } else if (rac.TargetId == 999 && s.SetupDll.present() && !s.Files.empty()) {
        rac.TargetText = "(999) " + ChangeExtension(s.SetupDll.Name, ".dll");
      } else {
        rac.TargetText = "?";
      }
    } else {
      rac.TargetText = "?";
    }
    spend(TextBytes({&rac.Name, &rac.InstalledAt, &rac.InstalledAtRaw, &rac.TargetText}));
    if (rac.OwnSection) s.HasOwnSections = true; else s.HasShortList = true;
    s.Shortcuts.push_back(std::move(rac));
  }

  ByteReader& r;
  const SetupReadInput& in;
  TSetupInfo& s;
  std::unordered_set<std::string> m_names;  // folded to one letter case
  std::set<std::string, CaseLess> m_duplicates;
  std::unordered_map<std::string, size_t> m_firstByExtension;
  uint64_t m_cost = 0;
  std::unordered_map<uint16_t, size_t> m_stringAt, m_dirAt, m_fileAt, m_hiveAt;
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

SetupReadResult Reject(SetupReadStatus status, std::string message) {
  SetupReadResult result;
  result.Status = status;
  result.Message = std::move(message);
  return result;
}

}  // namespace

const AListChaine* TSetupInfo::findString(uint32_t id) const { return FindById(Strings, id); }
const AListDir* TSetupInfo::findDir(uint32_t id) const { return FindById(Dirs, id); }
const AListFiles* TSetupInfo::findFile(uint32_t id) const { return FindById(Files, id); }
const AListHive* TSetupInfo::findHive(uint32_t id) const { return FindById(Hives, id); }

int TSetupInfo::hivePosition(uint32_t id) const {
  for (size_t i = 0; i < Hives.size(); ++i)
    if (Hives[i].Id == id) return static_cast<int>(i);
  return -1;
}

bool TSetupInfo::dirHoldsFiles(uint32_t dirId) const {
  return std::any_of(Files.begin(), Files.end(), [&](const AListFiles& f) { return f.DirId == dirId; });
}

SetupReadResult ReadSetupBytes(const std::string& bytes, const SetupReadInput& input) {
  if (input.ListingFailed) return Reject(SetupReadStatus::ListingFailed, Str(MainStr::MsgExtractFilesError));
  if (bytes.size() < kSetupHeaderSize) return Reject(SetupReadStatus::NoHeader, Str(MainStr::MsgNoHeader));
  const std::string& name = input.DisplayName.empty() ? input.Path : input.DisplayName;
  if (bytes.size() > kMaxSetupFileSize)
    return Reject(SetupReadStatus::TooLarge, SetupTooLargeMessage(name, bytes.size()));

  ByteReader r({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
  TSetupInfo info;
  info.Header = DecodeHeader(r);
  info.ActualFileSize = bytes.size();
  if (info.Header.FileSize != bytes.size()) return Reject(SetupReadStatus::SizeWrong, Str(MainStr::MsgSizeWrong));
  info.Signature.assign(info.Header.Signature, 4);
  if (input.CheckSignature && info.Signature != "MSCE" && info.Signature != "CE4+")
    return Reject(SetupReadStatus::BadSignature, Str(MainStr::MsgBadSignature) + info.Signature);

  SetupParser parser(r, input, info);
  parser.run();
  if (parser.tooLarge()) {
    return Reject(SetupReadStatus::TooLarge,
                  Format("Setup description \"%s\" refused: its records would take more than %llu MB to show",
                         name.c_str(), static_cast<unsigned long long>(kMaxSetupRecordCost >> 20)));
  }
  if (!r.ok()) return Reject(SetupReadStatus::ReadError, "Read error in \"" + name + "\" : " + r.error());
  SetupReadResult result;
  result.Status = SetupReadStatus::Success;
  result.Info = std::move(info);
  return result;
}

SetupReadResult ReadSetupFile(const SetupReadInput& input) {
  if (input.ListingFailed) return Reject(SetupReadStatus::ListingFailed, Str(MainStr::MsgExtractFilesError));
  const std::string& name = input.DisplayName.empty() ? input.Path : input.DisplayName;
  std::ifstream file(input.Path, std::ios::binary | std::ios::ate);
  if (!file) return Reject(SetupReadStatus::ReadError, "Read error in \"" + name + "\" : the file cannot be opened");
  // The size is checked before anything is read.
  const std::streamoff size = file.tellg();
  if (size > static_cast<std::streamoff>(kMaxSetupFileSize))
    return Reject(SetupReadStatus::TooLarge, SetupTooLargeMessage(name, static_cast<uint64_t>(size)));
  file.seekg(0);
  std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  return ReadSetupBytes(bytes, input);
}

}  // namespace vornix

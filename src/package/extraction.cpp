#include "package/extraction.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/random.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <map>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "cabfiles/cab_file.h"
#include "common/host_fs.h"
#include "common/interrupt.h"
#include "common/text.h"
#include "package/package_session.h"
#include "presentation/catalogue.h"
#include "presentation/display.h"
#include "presentation/inf_writer.h"

namespace fs = std::filesystem;

namespace vornix {

std::string StagedEntries::name(size_t index) const { return Prefix + Format("%zu", index); }

std::optional<size_t> StagedEntries::indexOf(std::string_view fileName) const {
  if (Prefix.empty() || !fileName.starts_with(Prefix)) return std::nullopt;
  const std::string_view digits = fileName.substr(Prefix.size());
  size_t index = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), index);
  if (digits.empty() || error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return index;
}

StagingArea::StagingArea(const fs::path& inside) {
  // Random, so that runs beside one another (and what a killed run left)
  // never meet; a name that exists anyway fails that entry, never replaces it.
  uint64_t random = 0;
  if (getrandom(&random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) {
    m_error = errno ? errno : EIO;
    return;
  }
  m_entries.Folder = inside;
  m_entries.Prefix = Format(".vornix-staging-%016llx-", static_cast<unsigned long long>(random));
}

StagingArea::~StagingArea() {
  if (m_entries.empty()) return;
  // Whatever was not placed, found by its prefix: a run that broke off does
  // not know what it left.
  const int dir = ::open(m_entries.Folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (dir < 0) return;
  // Read straight from the descriptor: this runs once a package, and a
  // directory stream costs three more system calls than the reading itself.
  std::vector<std::string> left;
  alignas(dirent64) char buffer[16384];
  for (ssize_t got; (got = getdents64(dir, buffer, sizeof buffer)) > 0;) {
    for (ssize_t at = 0; at < got;) {
      const auto* e = reinterpret_cast<const dirent64*>(buffer + at);
      if (std::string_view(e->d_name).starts_with(m_entries.Prefix)) left.emplace_back(e->d_name);
      at += e->d_reclen;
    }
  }
  for (const std::string& name : left) ::unlinkat(dir, name.c_str(), 0);
  ::close(dir);
}

namespace {

// Stored names are matched without regard to case, as the cabinet library does.
std::string Key(const std::string& storedName) { return LowerCp1252(storedName); }

// A device file name as one host name, or nullopt when it is not a plain name.
std::optional<fs::path> PlainName(std::string_view name) {
  if (name.find_first_of("\\/") != std::string_view::npos) return std::nullopt;
  return SafeRelativePath(name);
}

// The INF takes the application name, which may hold anything: keep it one
// file name inside the folder.
std::string InfName(const std::string& name) {
  std::string safe;
  for (char c : name) {
    const auto b = static_cast<unsigned char>(c);
    safe += (c == '\\' || c == '/' || c == ':' || b < 0x20) ? '_' : c;
  }
  if (safe == "." || safe == "..") safe = "_" + safe;
  return HostPath(safe).string();
}

// The folder a row's file goes to in subfolder mode, below the chosen folder:
// the device folder without its leading "\". Empty for the chosen folder
// itself (no device folder, or "."), nullopt for a path that would leave it.
std::optional<fs::path> RowFolder(const std::string& deviceFolder) {
  std::string_view device = deviceFolder;
  if (!device.empty() && device.front() == '\\') device.remove_prefix(1);
  // "." (a package that installs into the current folder) names no subfolder.
  if (device.find_first_not_of(".\\/") == std::string_view::npos && device.find("..") == std::string_view::npos)
    return fs::path();
  return SafeRelativePath(device);
}

// The failure text of a rename or copy: what the host said, or that the
// package asks for something no host could do.
constexpr int kUnsafeName = -1;

class Extraction {
 public:
  Extraction(const ExtractRequest& request, UserInterface& ui) : m_request(request), m_ui(ui) {}

  ExtractReport run() {
    m_ui.busy(true);
    int cause = 0;
    m_root = HostFolder::Open(m_request.Folder, &cause);
    if (m_request.FolderIsNew) m_root.knownEmpty();
    if (!m_root.isOpen()) {
      m_report.Error = PathText(m_request.Folder) + " : " + ErrorText(cause);
      return finish(false);
    }
    plan();
    if (!stage()) return finish(false);
    if (m_request.UseFolderNames)
      placeInFolders();
    else
      placeFlat();
    placeSetupDll();
    if (StopRequested()) {
      m_report.Error = kStoppedText;
      m_report.CabinetRead = false;
      return finish(false);
    }
    return finish(m_request.WriteInf);
  }

 private:
  struct Planned {
    const ExtractRow* row;
    std::string key;
    std::optional<fs::path> folder;  // below the chosen folder; nullopt: cannot be placed
  };

  void plan() {
    for (const ExtractRow& row : m_request.Rows) {
      if (ExtensionOf(row.StoredName) == ".999") continue;  // the setup DLL row
      Planned p{&row, Key(row.StoredName), fs::path()};
      if (m_request.UseFolderNames) {
        auto it = m_rowFolders.find(row.DeviceFolder);
        if (it == m_rowFolders.end()) it = m_rowFolders.emplace(row.DeviceFolder, RowFolder(row.DeviceFolder)).first;
        p.folder = it->second;
      }
      m_plan.push_back(std::move(p));
    }
  }

  // The entries the rows need, staged: those the opening
  // staged, the rest decompressed in one pass. Flat mode wants every entry.
  bool stage() {
    std::unordered_set<std::string> wanted;
    for (const Planned& p : m_plan)
      if (!p.row->StoredName.empty()) wanted.insert(p.key);
    if (!m_request.SetupDllName.empty()) wanted.insert(Key(m_request.SetupDllName));

    StagedEntries stage = m_request.Staged;
    const bool missing = stage.empty() || !noteStaged(stage, wanted);
    if (!openStage(stage)) return false;
    if (!missing) {
      m_report.CabinetRead = true;
      return true;
    }
    decompress(stage, wanted);
    return true;
  }

  // Notes what the opening staged of the wanted entries; false when some
  // wanted entry is not there.
  bool noteStaged(const StagedEntries& stage, const std::unordered_set<std::string>& wanted) {
    bool all = true;
    for (size_t i = 0; i < m_request.StagedListing.size(); ++i) {
      const std::string& name = m_request.StagedListing[i].Name;
      const std::string key = Key(name);
      if (m_request.UseFolderNames && !wanted.count(key)) continue;
      // Whoever staged the entries knows which; one gone since is not placed
      // (its move says why), never decompressed a second time.
      if (i < m_request.StagedPositions.size() && m_request.StagedPositions[i])
        note(name, stage.name(i));
      else if (!m_staged.count(key))
        all = false;
    }
    return all;
  }

  // Opens the folder entries wait in, staging them in the destination when
  // the opening staged nothing.
  bool openStage(StagedEntries& stage) {
    if (stage.empty()) {
      m_ownStage.emplace(m_request.Folder);
      if (m_ownStage->entries().empty()) {
        m_report.Error = PathText(m_request.Folder) + " : " + ErrorText(m_ownStage->error());
        return false;
      }
      stage = m_ownStage->entries();
    }
    if (stage.Folder == m_request.Folder) {
      m_stage = m_root;
      return true;
    }
    int cause = 0;
    m_stage = HostFolder::Open(stage.Folder, &cause);
    if (!m_stage.isOpen()) {
      m_report.Error = PathText(stage.Folder) + " : " + ErrorText(cause);
      return false;
    }
    return true;
  }

  // The one pass over the cabinet for the entries not staged yet (in
  // subfolder mode only those the rows use), with progress and cancel.
  void decompress(const StagedEntries& stage, const std::unordered_set<std::string>& wanted) {
    auto writes = [&](const std::string& key) {
      return !m_staged.count(key) && (!m_request.UseFolderNames || wanted.count(key));
    };
    const int64_t total = bytesToWrite(writes);
    // The progress names a file as the user knows it: its original name.
    std::unordered_map<std::string, std::string> shownNames;
    for (const Planned& p : m_plan) shownNames.emplace(p.key, ReplaceAll(p.row->OriginalName, "\"", ""));

    struct Cancelled {};
    TCABFile cab;
    cab.CABFile = m_request.Package;
    std::string currentName;
    int64_t finished = 0, current = 0;
    cab.OnDecompressProgress = [&](const std::string& name, int64_t pos, int64_t tot) {
      if (name != currentName) {
        finished += current;
        currentName = name;
        const auto shown = shownNames.find(Key(name));
        m_ui.progressFile(shown != shownNames.end() && !shown->second.empty() ? shown->second : name);
      }
      current = tot;
      m_ui.progress(finished + pos, total);
      // The component removes the entry it was writing; the others stay staged.
      if (m_ui.cancelRequested()) throw Cancelled{};
    };
    Result<void> pass;
    try {
      pass = cab.Extract([&](const TCABFileEntry& e) -> std::optional<ExtractTarget> {
        const std::string key = Key(e.Name);
        if (!writes(key)) return std::nullopt;
        if (m_ui.cancelRequested()) throw Cancelled{};
        const std::string file = stage.name(static_cast<size_t>(e.Index));
        note(e.Name, file);
        ExtractTarget target(stage.Folder / file);
        target.Shown = e.Name;
        target.FreshName = true;
        return target;
      });
      m_report.CabinetRead = pass.ok();
    } catch (const Cancelled&) {
      m_report.Cancelled = true;
      m_report.CabinetRead = true;
      forgetUnwritten(stage);
    }
    if (!m_report.CabinetRead) {
      m_report.Error = pass.message();
      forgetUnwritten(stage);
    }
  }

  // The whole amount up front (the headers only), so the progress runs once
  // from 0 to the end rather than filling again for every file.
  template <typename Writes>
  int64_t bytesToWrite(const Writes& writes) const {
    int64_t total = 0;
    TCABFile lister;
    lister.CABFile = m_request.Package;
    // A cabinet that cannot be listed fails the pass, which says why.
    if (lister.ListContents())
      for (const TCABFileEntry& e : lister.CABFileContents.items())
        if (writes(Key(e.Name))) total += e.Size;
    return total;
  }

  // What a broken or cancelled pass left half-written is gone; the entries
  // before it stay usable.
  void forgetUnwritten(const StagedEntries& stage) {
    std::error_code ec;
    for (auto it = m_staged.begin(); it != m_staged.end();) {
      if (fs::is_regular_file(fs::symlink_status(stage.Folder / it->second, ec)))
        ++it;
      else
        it = m_staged.erase(it);
    }
    std::erase_if(m_stagedOrder, [&](const auto& entry) { return !m_staged.count(Key(entry.first)); });
  }

  // A signal, or the user's cancel: what is placed stays, nothing more is.
  // A cancel while decompressing still places what was staged before it; a
  // cancel while placing stops there.
  bool halted() {
    if (StopRequested()) return true;
    if (!m_report.Cancelled && m_ui.cancelRequested()) {
      m_report.Cancelled = true;
      m_stopPlacing = true;
    }
    return m_stopPlacing;
  }

  void note(const std::string& storedName, const std::string& stagedName) {
    if (m_staged.emplace(Key(storedName), stagedName).second) m_stagedOrder.emplace_back(storedName, stagedName);
  }

  // The folder below the chosen one, made when a file first goes there. A
  // folder that cannot be made is reported once.
  std::optional<HostFolder> folder(const fs::path& relative, const std::string& fileName) {
    // Refused before anything is made: the whole path must be usable.
    if (!FitsPathLimit(m_root.path() / relative / fileName) || fileName.size() > NAME_MAX) {
      fail(m_root.path() / relative / fileName, ENAMETOOLONG);
      return std::nullopt;
    }
    const std::string text = relative.native();
    if (const auto it = m_folders.find(text); it != m_folders.end()) return it->second;
    int cause = 0;
    HostFolder dir = relative.empty() ? m_root : m_root.sub(relative, true, &cause);
    if (!dir.isOpen()) {
      fail(m_root.path() / relative, cause);
      m_folders.emplace(text, std::nullopt);
      return std::nullopt;
    }
    return m_folders.emplace(text, dir).first->second;
  }

  void fail(const fs::path& path, int cause) { m_report.Failures.push_back({PathText(path), ErrorText(cause)}); }

  // The staged file `stagedName` as `name` in `dir`: moved when `move`,
  // copied otherwise. 0, EEXIST when the name is taken, or the errno.
  int give(const std::string& stagedName, bool move, const HostFolder& dir, const std::string& name) {
    const int moved = move ? MoveNoReplace(m_stage, stagedName, dir, name) : EXDEV;
    // A folder on another file system (a mount point inside the destination) takes a copy.
    const int given = moved == EXDEV ? CopyNoReplace(m_stage, stagedName, dir, name) : moved;
    if (given == 0) {
      ++m_report.Written;
      m_ui.filePlaced(dir.path() / name);
    }
    return given;
  }

  // Subfolder mode: each staged file moves once, straight to its original
  // name, or to its stored name when that name is taken (and is counted),
  // which is where extracting and then renaming would have left it. Rows that
  // share a stored name get copies; the last of them gets the file itself.
  void placeInFolders() {
    std::unordered_map<std::string, int> remaining;
    for (const Planned& p : m_plan)
      if (p.folder && m_staged.count(p.key)) ++remaining[p.key];
    size_t done = 0;
    for (const Planned& p : m_plan) {
      if (halted()) return;
      m_ui.progress(static_cast<int64_t>(++done), static_cast<int64_t>(m_plan.size()));
      const auto original = PlainName(ReplaceAll(p.row->OriginalName, "\"", ""));
      const auto stored = SafeRelativePath(p.row->StoredName);
      const auto source = m_staged.find(p.key);
      if (source == m_staged.end()) {
        // Not in the cabinet; when the cabinet broke off, Error says why, and
        // after a cancel it was never asked for.
        if (m_report.CabinetRead && !m_report.Cancelled) ++m_report.NotRenamed;
        continue;
      }
      if (!p.folder) {
        ++m_report.NotRenamed;
        continue;
      }
      const bool move = --remaining[p.key] == 0;
      if (!stored || p.row->StoredName.empty()) {
        ++m_report.NotRenamed;
        continue;
      }
      const std::string storedName = stored->filename().string();
      const std::optional<HostFolder> dir = folder(*p.folder, original ? original->string() : storedName);
      if (!dir) continue;
      const int given = original ? give(source->second, move, *dir, original->string()) : kUnsafeName;
      if (given == 0) continue;
      if (given != EEXIST && given != kUnsafeName) {
        fail(dir->path() / *original, given);
        continue;
      }
      ++m_report.NotRenamed;
      const int kept = give(source->second, move, *dir, storedName);
      if (kept != 0 && kept != EEXIST) fail(dir->path() / storedName, kept);
    }
  }

  // Flat mode: every entry into the chosen folder, rows' entries under their
  // original names, the others under their stored names (keeping the folders
  // a stored name holds). A name that is taken is never replaced.
  void placeFlat() {
    std::unordered_set<std::string> placed;
    size_t done = 0;
    for (const Planned& p : m_plan) {
      if (halted()) return;
      m_ui.progress(static_cast<int64_t>(++done), static_cast<int64_t>(m_plan.size()));
      const auto original = PlainName(ReplaceAll(p.row->OriginalName, "\"", ""));
      const auto source = m_staged.find(p.key);
      if (source == m_staged.end()) {
        if (m_report.CabinetRead && !m_report.Cancelled) ++m_report.NotRenamed;
        continue;
      }
      if (!original || !SafeRelativePath(p.row->StoredName) || placed.count(p.key)) {
        ++m_report.NotRenamed;
        continue;
      }
      const std::optional<HostFolder> dir = folder({}, original->string());
      if (!dir) continue;
      const int given = give(source->second, true, *dir, original->string());
      if (given == 0) {
        placed.insert(p.key);
      } else if (given == EEXIST) {
        ++m_report.NotRenamed;
      } else {
        fail(dir->path() / *original, given);
      }
    }
    m_placed = std::move(placed);
  }

  void placeSetupDll() {
    if (m_request.SetupDllName.empty() || halted()) return;
    const std::string key = Key(m_request.SetupDllName);
    const auto source = m_staged.find(key);
    const auto stored = SafeRelativePath(m_request.SetupDllName);
    if (source == m_staged.end() || !stored || m_placed.count(key)) return;
    const std::string dll = ChangeExtension(stored->filename().string(), ".dll");
    const int given = give(source->second, true, m_root, dll);
    if (given == 0) {
      m_placed.insert(key);
    } else if (given != EEXIST) {
      fail(m_root.path() / dll, given);
    } else if (m_request.UseFolderNames) {
      // Where extracting and then renaming would have left it; not counted.
      const int kept = give(source->second, true, m_root, stored->filename().string());
      if (kept != 0 && kept != EEXIST) fail(m_root.path() / stored->filename(), kept);
      if (kept == 0) m_placed.insert(key);
    }
  }

  // Flat mode ends with every other entry under its stored name.
  void placeRest() {
    for (const auto& [storedName, stagedName] : m_stagedOrder) {
      if (halted()) return;
      if (m_placed.count(Key(storedName))) continue;
      const auto rel = SafeRelativePath(storedName);
      const bool noFileName = !storedName.empty() && (storedName.back() == '\\' || storedName.back() == '/');
      if (!rel || noFileName) continue;
      const std::optional<HostFolder> dir = folder(rel->parent_path(), rel->filename().string());
      if (!dir) continue;
      const int given = give(stagedName, true, *dir, rel->filename().string());
      if (given != 0 && given != EEXIST) fail(dir->path() / rel->filename(), given);
    }
  }

  ExtractReport finish(bool writeInf) {
    if (!m_request.UseFolderNames && m_stage.isOpen() && !halted()) placeRest();
    if (writeInf && !m_report.Cancelled) {
      const std::string name = InfName(m_request.InfFileName);
      const int written = WriteReplacing(m_root, name, InfFileText(m_request.InfLines));
      if (written != 0) m_report.InfError = PathText(m_root.path() / name) + " : " + ErrorText(written);
    }
    if (!m_report.Error.empty() && !StopRequested()) {
      // A folder that cannot be used names itself; a cabinet that broke off
      // is named with the cause.
      const std::string broke =
          PathText(m_request.Package) + " : the cabinet could not be read to its end (" + m_report.Error + ")";
      m_ui.warn(kCaption, m_stage.isOpen() ? broke : m_report.Error);
    }
    if (!m_report.Failures.empty()) {
      // One box, as for the names not given; the first ten failures named.
      std::string text = Format("%zu file(s) could not be written :", m_report.Failures.size());
      for (size_t i = 0; i < m_report.Failures.size() && i < 10; ++i)
        text += "\r\n" + m_report.Failures[i].File + " : " + m_report.Failures[i].Cause;
      if (m_report.Failures.size() > 10) text += Format("\r\n(and %zu more)", m_report.Failures.size() - 10);
      m_ui.warn(kCaption, text);
    }
    if (!m_report.InfError.empty()) m_ui.warn(kCaption, "The INF file could not be written : " + m_report.InfError);
    if (m_report.NotRenamed > 0) m_ui.warn(kCaption, Format(Str(MainStr::MsgNotRenamed).c_str(), m_report.NotRenamed));
    m_ui.busy(false);
    return std::move(m_report);
  }

  const ExtractRequest& m_request;
  UserInterface& m_ui;
  ExtractReport m_report;
  HostFolder m_root;
  HostFolder m_stage;
  std::optional<StagingArea> m_ownStage;
  std::vector<Planned> m_plan;
  std::map<std::string, std::optional<fs::path>> m_rowFolders;  // each folder text read once
  std::unordered_map<std::string, std::optional<HostFolder>> m_folders;
  std::unordered_map<std::string, std::string> m_staged;  // folded stored name -> staged file
  std::vector<std::pair<std::string, std::string>> m_stagedOrder;
  std::unordered_set<std::string> m_placed;  // folded stored names given a name
  bool m_stopPlacing = false;
};

}  // namespace

std::vector<ExtractRow> SetupExtractRows(const TSetupInfo& info, const std::vector<ListRow>& filesRows) {
  std::vector<ExtractRow> rows;
  rows.reserve(filesRows.size());
  for (const ListRow& r : filesRows) {
    if (r.Record >= info.Files.size()) {
      rows.push_back({info.SetupDll.Name, SetupDllFileName(info.SetupDll), std::string()});
      continue;
    }
    const AListFiles& file = info.Files[r.Record];
    const AListDir* dir = info.findDir(file.DirId);
    rows.push_back({FileCabName(info, file), file.Name, dir ? dir->Path : std::string()});
  }
  return rows;
}

ExtractRequest MakeExtractRequest(const SetupAnalysis& analysis, const fs::path& package, const fs::path& folder,
                                  bool useFolderNames, const std::vector<ListRow>& filesRows) {
  ExtractRequest request;
  request.Package = package;
  request.Folder = folder;
  request.UseFolderNames = useFolderNames;
  request.Rows = SetupExtractRows(analysis.Info, filesRows);
  request.SetupDllName = analysis.Info.SetupDll.Name;
  request.InfLines = analysis.InfLines;
  request.InfFileName = analysis.Info.AppName + ".inf";
  return request;
}

ExtractReport ExtractUnderOriginalNames(const ExtractRequest& request, UserInterface& ui) {
  return Extraction(request, ui).run();
}

std::optional<fs::path> PlannedPlace(const ExtractRow& row, bool useFolderNames) {
  const auto original = PlainName(ReplaceAll(row.OriginalName, "\"", ""));
  const auto folder = useFolderNames ? RowFolder(row.DeviceFolder) : std::optional<fs::path>(fs::path());
  if (!original || !folder) return std::nullopt;
  return *folder / *original;
}

std::string InfFileNameIn(const std::string& requested) { return InfName(requested); }

}  // namespace vornix

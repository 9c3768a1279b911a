#include "package/extraction.h"

#include <map>
#include <unordered_map>

#include "cabfiles/cab_file.h"
#include "common/catalogue.h"
#include "common/host_fs.h"
#include "common/text.h"
#include "package/package_session.h"
#include "setup/inf_writer.h"

namespace fs = std::filesystem;

namespace vornix {
namespace {

// Stored names are matched without regard to case, as the cabinet library does.
using NameMap = std::unordered_map<std::string, std::vector<fs::path>>;

// A device file name as one host name, or nullopt when it is not a plain name.
std::optional<fs::path> PlainName(std::string_view name) {
  if (name.find_first_of("\\/") != std::string_view::npos) return std::nullopt;
  return SafeRelativePath(name);
}

// The INF takes the application name, which may hold anything: keep it one
// file name inside the folder.
fs::path InfTarget(const fs::path& folder, const std::string& name) {
  std::string safe;
  for (char c : name) {
    const auto b = static_cast<unsigned char>(c);
    safe += (c == '\\' || c == '/' || c == ':' || b < 0x20) ? '_' : c;
  }
  if (safe == "." || safe == "..") safe = "_" + safe;
  return folder / HostPath(safe);
}

// The folder a row's file goes to in subfolder mode: the device path of its
// folder text below the chosen folder, or the chosen folder itself when the
// row has no folder text.
std::optional<fs::path> RowFolder(const fs::path& root, const std::string& folderText) {
  if (folderText.size() < 7) return root;
  std::string_view device = std::string_view(folderText).substr(6);
  if (!device.empty() && device.front() == '\\') device.remove_prefix(1);
  // "." (a package that installs into the current folder) names no subfolder.
  if (device.find_first_not_of(".\\/") == std::string_view::npos && device.find("..") == std::string_view::npos)
    return root;
  const auto relative = SafeRelativePath(device);
  if (!relative) return std::nullopt;
  return ResolveFolderNoCase(root, *relative, true);
}

struct Planned {
  ExtractRow row;
  std::optional<fs::path> dir;  // nullopt: the row cannot be placed
};

// The INF beside the files and the one warning about names not given.
void FinishExtraction(const ExtractRequest& request, const ExtractReport& report, UserInterface& ui) {
  if (request.WriteInf && !report.Cancelled)
    WriteFileBytes(InfTarget(request.Folder, request.InfFileName), InfFileText(request.InfLines));
  if (report.NotRenamed > 0) ui.warn(kCaption, Format(Str(MainStr::MsgNotRenamed).c_str(), report.NotRenamed));
  ui.busy(false);
}

// Subfolder mode over entries the opening already decompressed: each staged
// file moves once, straight to its original name, or to its stored name when
// that name is taken (and is counted), which is where extracting and then
// renaming would have left it. A stored name that several rows share is
// copied for the later rows.
ExtractReport PlaceStagedRows(const ExtractRequest& request, const std::vector<Planned>& plan, UserInterface& ui) {
  ExtractReport report;
  report.CabinetRead = true;
  std::unordered_map<std::string, fs::path> staged;  // folded stored name -> staged file
  for (const std::string& name : request.StagedNames) {
    if (const auto rel = SafeRelativePath(name)) staged[LowerCp1252(name)] = request.Staged / *rel;
  }
  std::unordered_map<std::string, fs::path> placed;  // folded stored name -> where it went first
  FolderNameIndex index;
  std::error_code ec;

  // Moves or copies a stored file to `target`, never replacing a file.
  auto give = [&](const fs::path& from, bool move, const fs::path& target) {
    if (move) return RenameNoReplace(from, target, &index);
    if (index.contains(target.parent_path(), target.filename().string())) return false;
    std::error_code copyError;
    if (!fs::copy_file(from, target, fs::copy_options::none, copyError)) return false;
    index.add(target.parent_path(), target.filename().string());
    return true;
  };
  // Leaves the file under its stored name, replacing what had that name.
  auto keepStored = [&](const fs::path& from, bool move, const fs::path& target) {
    std::error_code keepError;
    if (move) fs::rename(from, target, keepError);
    else fs::copy_file(from, target, fs::copy_options::overwrite_existing, keepError);
    if (!keepError) index.add(target.parent_path(), target.filename().string());
  };

  size_t done = 0;
  for (const Planned& p : plan) {
    ui.progress(static_cast<int64_t>(++done), static_cast<int64_t>(plan.size()));
    const std::string key = LowerCp1252(p.row.StoredName);
    const auto original = PlainName(ReplaceAll(p.row.OriginalName, "\"", ""));
    const auto stored = SafeRelativePath(p.row.StoredName);
    const auto first = placed.find(key);
    const auto source = staged.find(key);
    const bool move = first == placed.end();
    if (!p.dir || !stored || p.row.StoredName.empty() || (move && source == staged.end())) {
      ++report.NotRenamed;
      continue;
    }
    const fs::path from = move ? source->second : first->second;
    if (!original || !give(from, move, *p.dir / *original)) {
      ++report.NotRenamed;
      keepStored(from, move, *p.dir / stored->filename());
      if (move) placed[key] = *p.dir / stored->filename();
      continue;
    }
    if (move) placed[key] = *p.dir / *original;
    ++report.Written;
  }

  if (!request.SetupDllName.empty()) {
    const auto source = staged.find(LowerCp1252(request.SetupDllName));
    const auto stored = SafeRelativePath(request.SetupDllName);
    if (source != staged.end() && stored && !placed.count(LowerCp1252(request.SetupDllName))) {
      const fs::path dll = request.Folder / HostPath(ChangeExtension(stored->filename().string(), ".dll"));
      if (!RenameNoReplace(source->second, dll, &index)) keepStored(source->second, true, request.Folder / stored->filename());
    }
  }
  fs::remove_all(request.Staged, ec);
  return report;
}

}  // namespace

std::vector<ExtractRow> RowsFromFilesList(const std::vector<ListRow>& files) {
  std::vector<ExtractRow> rows;
  rows.reserve(files.size());
  for (const ListRow& r : files) rows.push_back({r.cell(1), r.cell(2), r.cell(3)});
  return rows;
}

ExtractRequest MakeExtractRequest(const SetupAnalysis& analysis, const fs::path& package, const fs::path& folder,
                                  bool useFolderNames, const std::vector<ListRow>& filesRows) {
  ExtractRequest request;
  request.Package = package;
  request.Folder = folder;
  request.UseFolderNames = useFolderNames;
  request.Rows = RowsFromFilesList(filesRows);
  request.SetupDllName = analysis.Info.SetupDll.Name;
  request.InfLines = analysis.InfLines;
  request.InfFileName = analysis.Info.AppName + ".inf";
  return request;
}

ExtractReport ExtractUnderOriginalNames(const ExtractRequest& request, UserInterface& ui) {
  ExtractReport report;
  ui.busy(true);
  const fs::path root = request.Folder;

  std::vector<Planned> plan;
  std::map<std::string, std::optional<fs::path>> folders;  // each folder text resolved once
  for (const ExtractRow& row : request.Rows) {
    if (ExtensionOf(row.StoredName) == ".999") continue;  // the setup DLL row
    Planned p{row, root};
    if (request.UseFolderNames) {
      auto it = folders.find(row.FolderText);
      if (it == folders.end()) it = folders.emplace(row.FolderText, RowFolder(root, row.FolderText)).first;
      p.dir = it->second;
    }
    plan.push_back(std::move(p));
  }

  if (!request.Staged.empty() && request.UseFolderNames) {
    report = PlaceStagedRows(request, plan, ui);
    FinishExtraction(request, report, ui);
    return report;
  }

  // Which folders each stored name is wanted in (in row order, each once).
  NameMap wanted;
  for (const Planned& p : plan) {
    if (!p.dir || p.row.StoredName.empty()) continue;
    auto& dirs = wanted[LowerCp1252(p.row.StoredName)];
    if (std::find(dirs.begin(), dirs.end(), *p.dir) == dirs.end()) dirs.push_back(*p.dir);
  }
  if (!request.SetupDllName.empty()) {
    auto& dirs = wanted[LowerCp1252(request.SetupDllName)];
    if (std::find(dirs.begin(), dirs.end(), root) == dirs.end()) dirs.push_back(root);
  }

  TCABFile cab;
  cab.CABFile = request.Package;
  int64_t total = 0, finished = 0, current = 0;
  std::string currentName;
  // The progress names a file as the user knows it: its original name.
  std::unordered_map<std::string, std::string> shownNames;
  for (const Planned& p : plan)
    shownNames.emplace(LowerCp1252(p.row.StoredName), ReplaceAll(p.row.OriginalName, "\"", ""));
  struct Cancelled {};
  std::string interrupted;  // the entry a cancel stopped half-way (the component removes it)
  cab.OnDecompressProgress = [&](const std::string& name, int64_t pos, int64_t tot) {
    if (name != currentName) {
      finished += current;
      currentName = name;
      const auto shown = shownNames.find(LowerCp1252(name));
      ui.progressFile(shown != shownNames.end() && !shown->second.empty() ? shown->second : name);
    }
    current = tot;
    ui.progress(finished + pos, total);
    if (ui.cancelRequested()) {
      interrupted = name;
      throw Cancelled{};
    }
  };
  std::vector<std::pair<fs::path, fs::path>> copies;  // written file -> further folder
  std::unordered_map<std::string, fs::path> written;  // where each stored name (folded) was written

  auto route = [&](const TCABFileEntry& e) -> std::optional<ExtractTarget> {
    if (request.Staged.empty() && ui.cancelRequested()) throw Cancelled{};
    if (!request.UseFolderNames) {
      // Flat: every entry under its stored name, as the cabinet has it.
      const auto rel = SafeRelativePath(e.Name);
      if (!rel) return std::nullopt;
      const auto dir = ResolveFolderNoCase(root, rel->parent_path(), true);
      if (!dir) return std::nullopt;
      written[LowerCp1252(e.Name)] = *dir / rel->filename();
      return ExtractTarget{*dir / rel->filename()};
    }
    const std::string key = LowerCp1252(e.Name);
    auto it = wanted.find(key);
    if (it == wanted.end() || it->second.empty() || written.count(key)) return std::nullopt;
    const auto rel = SafeRelativePath(e.Name);
    if (!rel) return std::nullopt;
    const std::vector<fs::path>& dirs = it->second;
    const fs::path first = ResolveFolderNoCase(dirs.front(), rel->parent_path(), true).value_or(dirs.front());
    for (size_t k = 1; k < dirs.size(); ++k) copies.emplace_back(first / rel->filename(), dirs[k] / *rel);
    written[key] = first / rel->filename();
    return ExtractTarget{first / rel->filename()};
  };
  if (request.Staged.empty()) {
    // The whole amount up front (the headers only), so the progress runs
    // once from 0 to the end rather than filling again for every file.
    TCABFile lister;
    lister.CABFile = request.Package;
    lister.ListContents();
    for (const TCABFileEntry& e : lister.CABFileContents.items()) {
      if (!request.UseFolderNames || wanted.count(LowerCp1252(e.Name))) total += e.Size;
    }
    try {
      report.CabinetRead = cab.Extract(route);
    } catch (const Cancelled&) {
      report.Cancelled = true;
      report.CabinetRead = true;
      if (!interrupted.empty()) written.erase(LowerCp1252(interrupted));
    }
  } else {
    // Already decompressed by the opening: move each staged file into place.
    report.CabinetRead = true;
    std::error_code ec;
    for (const std::string& name : request.StagedNames) {
      const auto rel = SafeRelativePath(name);
      if (!rel) continue;
      const fs::path staged = request.Staged / *rel;
      if (!fs::is_regular_file(fs::symlink_status(staged, ec))) continue;
      TCABFileEntry entry;
      entry.Name = name;
      entry.Size = static_cast<int32_t>(fs::file_size(staged, ec));
      const auto target = route(entry);
      if (!target) continue;
      fs::rename(staged, target->File, ec);
      if (ec) {
        written.erase(LowerCp1252(name));
        report.CabinetRead = false;
        report.Error = PathText(target->File) + " : " + ec.message();
      }
    }
    fs::remove_all(request.Staged, ec);
  }
  report.Written = static_cast<int>(written.size());
  if (!report.CabinetRead && report.Error.empty()) report.Error = cab.lastError();

  for (const auto& [from, to] : copies) {
    std::error_code ec;
    if (const auto dir = ResolveFolderNoCase(to.parent_path(), {}, true)) {
      fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
    }
  }

  // Rename every row, in list order; a name already taken is never replaced.
  FolderNameIndex index;
  for (const Planned& p : plan) {
    // After a cancel only what was written is named; the rest was never asked for.
    if (report.Cancelled && !written.count(LowerCp1252(p.row.StoredName))) continue;
    const auto original = PlainName(ReplaceAll(p.row.OriginalName, "\"", ""));
    const auto stored = SafeRelativePath(p.row.StoredName);
    if (!p.dir || !original || !stored || p.row.StoredName.empty() ||
        !RenameNoReplace(*p.dir / *stored, *p.dir / *original, &index)) {
      ++report.NotRenamed;
    }
  }

  if (!request.SetupDllName.empty()) {
    if (const auto stored = SafeRelativePath(request.SetupDllName)) {
      RenameNoReplace(root / *stored, root / HostPath(ChangeExtension(stored->filename().string(), ".dll")), &index);
    }
  }

  FinishExtraction(request, report, ui);
  return report;
}

}  // namespace vornix

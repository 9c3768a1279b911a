#include "package/open_files.h"

#include <algorithm>
#include <map>
#include <system_error>

#include "cabfiles/cab_file.h"
#include "common/host_fs.h"
#include "common/text.h"

namespace fs = std::filesystem;

namespace vornix {
namespace {

// The last element of a device path, with what a host name cannot hold
// replaced; empty when that element names no file.
std::string LastPlainElement(std::string_view name) {
  const size_t cut = name.find_last_of("\\/:");
  std::string last(cut == std::string_view::npos ? name : name.substr(cut + 1));
  for (char& c : last) {
    if (static_cast<unsigned char>(c) < 0x20) c = '_';
  }
  if (last == "." || last == "..") return {};
  return last;
}

}  // namespace

std::string OpenFileName(std::string_view originalName, std::string_view storedName) {
  std::string name = LastPlainElement(ReplaceAll(originalName, "\"", ""));
  if (name.empty()) name = LastPlainElement(storedName);
  if (name.empty()) name = "file";
  return name;
}

OpenFilesResult ExtractForOpening(TCABFile& cab, const fs::path& package, const fs::path& openDir,
                                  const std::vector<OpenFileRow>& rows, bool bitmapRule) {
  OpenFilesResult result;
  // Names are told apart as on the device, without regard to letter case:
  // the cabinet component replaces "A.TXT" when it writes "a.txt".
  std::map<std::string, fs::path> claimed;              // folded open name -> its path
  std::map<std::string, std::vector<fs::path>> wanted;  // folded stored name -> paths, first one extracted
  for (size_t i = 0; i < rows.size(); ++i) {
    std::string name = OpenFileName(rows[i].OriginalName, rows[i].StoredName);
    if (bitmapRule && LowerCp1252(ExtensionOf(name)) == ".2bp") name = ChangeExtension(name, ".bmp");
    const auto [first, isNew] = claimed.emplace(LowerCp1252(name), openDir / HostPath(name));
    const fs::path& path = first->second;
    result.Files.push_back({path, false});
    if (!isNew) continue;  // an earlier row has this name
    auto& paths = wanted[LowerCp1252(rows[i].StoredName)];
    if (std::find(paths.begin(), paths.end(), path) == paths.end()) paths.push_back(path);
  }

  // Whatever an earlier action left under these names goes first.
  std::error_code ec;
  for (const auto& [name, path] : claimed) {
    if (!fs::is_directory(fs::symlink_status(path, ec))) fs::remove(path, ec);
  }

  if (package.empty() || wanted.empty()) return result;
  cab.CABFile = package;
  cab.TargetPath = openDir;
  std::map<std::string, fs::path> written;
  const Result<void> pass = cab.Extract([&](const TCABFileEntry& entry) -> std::optional<ExtractTarget> {
    const std::string key = LowerCp1252(entry.Name);
    const auto it = wanted.find(key);
    if (it == wanted.end() || written.count(key)) return std::nullopt;
    written[key] = it->second.front();
    return ExtractTarget{it->second.front()};
  });
  result.CabinetRead = pass.ok();
  result.Error = pass.message();

  // A stored name that several rows name differently: one extraction, copies for the rest.
  for (const auto& [key, paths] : wanted) {
    for (size_t k = 1; k < paths.size(); ++k) {
      if (written.count(key)) fs::copy_file(paths.front(), paths[k], fs::copy_options::overwrite_existing, ec);
    }
  }
  for (OpenFile& file : result.Files) file.Present = fs::is_regular_file(fs::symlink_status(file.Path, ec));
  return result;
}

std::optional<fs::path> TextCopy(const fs::path& file) {
  if (LowerCp1252(file.extension().string()) == ".txt") return file;
  fs::path copy = file;
  copy.replace_extension(".txt");
  std::error_code ec;
  if (!fs::is_directory(fs::symlink_status(copy, ec))) fs::remove(copy, ec);
  if (!fs::copy_file(file, copy, fs::copy_options::none, ec)) return std::nullopt;
  return copy;
}

}  // namespace vornix

// Files a files list hands to the desktop (opened, opened as text, shown
// with their properties, dragged out): extracted from the cabinet into the
// private open folder under the names they have on the device.
//
// Every call is one pass over the cabinet however many rows it serves, and
// nothing read from the package chooses a place outside the open folder: an
// original name that is not one plain file name is handed out under a safe
// one.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vornix {

class TCABFile;

/// The two texts of a files-list row that say which entry it is and what
/// it is called on the device (Windows-1252; the original name may hold the
/// double quotes the list shows).
struct OpenFileRow {
  std::string StoredName;
  std::string OriginalName;
};

/// The file name a row's file gets in the open folder (Windows-1252): the
/// original name without double quotes. A name that is not one plain file
/// name ("..\x.dll", "\Windows\x.dll", "C:x.dll") gives its last element; when
/// nothing usable is left ("..", "C:", a trailing separator) the stored name's
/// last element is taken instead, and "file" when even that is empty. Control
/// characters become "_".
std::string OpenFileName(std::string_view originalName, std::string_view storedName);

struct OpenFile {
  std::filesystem::path Path;  // where the row's file is handed out from
  bool Present = false;        // the file is there after the extraction
};

struct OpenFilesResult {
  std::vector<OpenFile> Files;  // one per row, in row order
  bool CabinetRead = false;
  std::string Error;  // why the cabinet gave nothing, when so
};

/// Extracts the rows' entries into `openDir` in one pass of `cab` over
/// `package`, each straight under its open name (OpenFileName; with
/// `bitmapRule`, a ".2bp" name ends in ".bmp" instead). A file left in the
/// folder by an earlier action under one of these names is replaced, so what
/// is handed out is always this entry. When several rows come to the same
/// name (letter case aside, as on the device), the first row in order gets
/// it and the others hand out the same path. A row whose entry is not in the cabinet is not Present.
OpenFilesResult ExtractForOpening(TCABFile& cab, const std::filesystem::path& package,
                                  const std::filesystem::path& openDir, const std::vector<OpenFileRow>& rows,
                                  bool bitmapRule);

/// A copy of `file` beside it with the extension ".txt" (replacing an
/// earlier copy), for a text editor; the file itself when it already ends
/// in ".txt". nullopt when the copy failed.
std::optional<std::filesystem::path> TextCopy(const std::filesystem::path& file);

}  // namespace vornix

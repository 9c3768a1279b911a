// What a files list tells the components that act on its rows (the popup
// and drag-out of FileListActions, the selective extraction dialog): each
// row's cabinet entry and device name, the package they come from and the
// private folder files are opened from. The main window and the XML setup
// viewer each give their own list through this one interface.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

namespace vornix {

class ListModel;

/// The cells of one files-list row the actions read (Windows-1252).
struct FileRow {
  std::string Number;        // the row's caption ("001")
  std::string StoredName;    // "FileName in CAB": the entry's name in the cabinet
  std::string OriginalName;  // "FileName" as shown (double quotes are not part of it)
  std::string Type;          // "Type": extension in lower case without its dot; empty: taken from the name
};

class FileListSource {
 public:
  virtual ~FileListSource() = default;
  /// Rows of the list's model, in display order (the model's row order).
  virtual int rowCount() const = 0;
  virtual FileRow row(int row) const = 0;
  /// The cabinet the rows belong to; empty when there is none.
  virtual std::filesystem::path package() const = 0;
  /// The private folder files are extracted into to be opened ("VornixOpen").
  virtual std::filesystem::path openFolder() const = 0;
};

/// A files list shown through a ListModel: the four cells at the given columns
/// of its rows (type -1: no such column).
class ListModelFileSource : public FileListSource {
 public:
  struct Columns {
    int number = 0;
    int stored = 1;
    int original = 2;
    int type = 8;
  };
  ListModelFileSource(const ListModel& model, Columns columns, std::function<std::filesystem::path()> package,
                      std::filesystem::path openFolder);

  int rowCount() const override;
  FileRow row(int row) const override;
  std::filesystem::path package() const override { return m_package ? m_package() : std::filesystem::path(); }
  std::filesystem::path openFolder() const override { return m_openFolder; }

 private:
  const ListModel& m_model;
  Columns m_columns;
  std::function<std::filesystem::path()> m_package;
  std::filesystem::path m_openFolder;
};

}  // namespace vornix

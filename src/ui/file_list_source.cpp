#include "ui/file_list_source.h"

#include "ui/list_model.h"

namespace vornix {

ListModelFileSource::ListModelFileSource(const ListModel& model, Columns columns,
                                         std::function<std::filesystem::path()> package,
                                         std::filesystem::path openFolder)
    : m_model(model), m_columns(columns), m_package(std::move(package)), m_openFolder(std::move(openFolder)) {}

int ListModelFileSource::rowCount() const { return static_cast<int>(m_model.rows().size()); }

FileRow ListModelFileSource::row(int row) const {
  const ListRow& r = m_model.rows().at(static_cast<size_t>(row));
  auto cell = [&](int column) { return column < 0 ? std::string() : r.cell(static_cast<size_t>(column)); };
  return {cell(m_columns.number), cell(m_columns.stored), cell(m_columns.original), cell(m_columns.type)};
}

}  // namespace vornix

#include "presentation/catalogue_open.h"

#include <array>
#include <utility>

namespace vornix {
namespace {

// Windows-1252: "\xE9" e acute, "\xE8" e grave.
const std::array<std::pair<OpenStr, const char*>, kOpenCatalogueSize> kOpen = {{
    {OpenStr::LoadError, "Erreur chargement"},
    {OpenStr::Absent, "absent"},
    {OpenStr::DashAbsent, " - absent"},
    {OpenStr::TodayAbsent, "\"TODAY\" absent"},
    {OpenStr::StartAbsent, "\"START\" absent"},
    {OpenStr::GdiError, "GDI Erreur"},
    {OpenStr::InvalidImage, "Image non valide"},
    {OpenStr::Preview, "Pr\xE9visualiser"},
    {OpenStr::SelectTheme, "S\xE9lectionner un Th\xE8me"},
    {OpenStr::Empty, "(vide)"},
    {OpenStr::Portrait, "Portrait"},
    {OpenStr::Landscape, "Paysage"},
    {OpenStr::Undefined,
     "Ind\xE9"
     "fini"},
    {OpenStr::MemoryBitmap, "Bitmap cr\xE9\xE9 en m\xE9moire"},
    {OpenStr::Today, "Aujourd'hui"},
    {OpenStr::Start, "D\xE9marrer"},
}};

struct OpenTable {
  std::array<std::string, kOpenCatalogueSize> texts;
  OpenTable() {
    for (const auto& [id, text] : kOpen) texts[static_cast<size_t>(id)] = text;
  }
};

}  // namespace

const std::string& Str(OpenStr id) {
  static const OpenTable table;
  return table.texts.at(static_cast<size_t>(id));
}

}  // namespace vornix

// The theme open dialog's string catalogue: French in this build, as the
// dialog and its preview pane have always been.
#pragma once

#include <string>

namespace vornix {

enum class OpenStr {
  LoadError,     // "Erreur chargement"
  Absent,        // "absent"
  DashAbsent,    // " - absent"
  TodayAbsent,   // "\"TODAY\" absent"
  StartAbsent,   // "\"START\" absent"
  GdiError,      // "GDI Erreur"
  InvalidImage,  // "Image non valide"
  Preview,       // "Prévisualiser"
  SelectTheme,   // "Sélectionner un Thème"
  Empty,         // "(vide)"
  Portrait,
  Landscape,     // "Paysage"
  Undefined,     // picture format names: "Indéfini"
  MemoryBitmap,  // "Bitmap créé en mémoire"
  Today,         // "Aujourd'hui"
  Start,         // "Démarrer"
  Count_
};

/// The text of an open-dialog catalogue entry (Windows-1252).
const std::string& Str(OpenStr id);

constexpr int kOpenCatalogueSize = static_cast<int>(OpenStr::Count_);

}  // namespace vornix

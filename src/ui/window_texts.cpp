#include "ui/window_texts.h"

#include <array>

namespace vornix {

QString Text(WinStr id) {
  static const std::array<const char*, static_cast<size_t>(WinStr::Count_)> texts = {
      "Nothing analysed",
      "Nothing analysed :",
      "%1 is not a .cab, .tsk or .000 file",
      "%1 : the cabinet holds no setup description (.000) and no XML setup file",
      "%1 cannot be read",
      "The file cannot be saved :",
      "The folder cannot be written :",
      "Cancel",
      "Stop the extraction (Esc); the files already written stay",
      "%1 file(s) written to %2",
      "Extraction cancelled : %1 file(s) written to %2",
      "Save the registry values as a .reg file",
      "Save registry file",
  };
  return QString::fromUtf8(texts.at(static_cast<size_t>(id)));
}

}  // namespace vornix

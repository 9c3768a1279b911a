#include "ui/action_texts.h"

#include <array>

namespace vornix {

QString Text(ActStr id) {
  static const std::array<const char*, static_cast<size_t>(ActStr::Count_)> texts = {
      "Properties of %1",
      "File name",
      "Size",
      "%1 bytes",
      "Type",
      "Modified",
      "Version",
      "(no version resource)",
      "Machine",
      "Kind",
      "Library (DLL)",
      "Program",
      "Subsystem",
      ".NET assembly",
      "Yes",
      "No",
      "Version resource",
      "Not read as the headers say",
      "Not a program file : %1",
      "Choose the program that opens %1 (%2) :",
      "No program declares this type; every program is offered.",
      "%1 cannot be started",
  };
  return QString::fromUtf8(texts.at(static_cast<size_t>(id)));
}

}  // namespace vornix

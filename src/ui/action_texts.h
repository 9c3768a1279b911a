// Texts of the windows that the files list's actions open beside the
// catalogued ones: the properties of a file and the program chooser.
// Looked up by identifier like every text of the program.
#pragma once

#include <QString>

namespace vornix {

enum class ActStr {
  PropertiesTitle,  // %1: file name
  FileName,
  Size,
  SizeValue /* %1: bytes */,
  Type,
  Modified,
  Version,
  VersionNone /* no version resource */,
  Machine,
  Kind,
  KindDll,
  KindExe,
  Subsystem,
  DotNet,
  Yes,
  No,
  VersionStrings,
  NotReadable /* heading of the reader's warnings */,
  NotProgram,    // %1: why; a program name whose bytes are no program file
  ChooserLabel,  // %1: file name, %2: type
  ChooserNoneDeclared,
  ChooserCannotStart,  // %1: program
  Count_
};

QString Text(ActStr id);

}  // namespace vornix

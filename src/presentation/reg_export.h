// The registry values of a package as a file the Windows registry editor
// imports: "Windows Registry Editor Version 5.00" (UTF-16LE with a byte-order
// mark) or the older "REGEDIT4" (8-bit, Windows-1252).
//
// Built from the typed records, not from the texts the lists show: a string
// keeps every character, a binary value every byte, and a DWORD whose record
// does not hold four bytes is written as the bytes it holds (hex(4)) rather
// than losing them.
#pragma once

#include <string>

#include "setup/setup_info.h"
#include "xml/xml_setup.h"

namespace vornix {

enum class RegFileFormat { Version5, Regedit4 };

/// Flag of an expandable string (REG_EXPAND_SZ) in a registry value record;
/// the type names of the lists do not know it, the registry editor does.
inline constexpr uint32_t kRegExpandSz = 0x00020000;

/// The file's bytes: the head line, then every hive in order as a key with
/// its values in record order. Strings have the directory macros and
/// "%InstallDir%" expanded, as the device sees them. A value whose hive or
/// type is unknown is named in a comment line instead.
std::string RegFileBytes(const TSetupInfo& info, RegFileFormat format);

/// The same file from the registry values of "_setup.xml": one key per
/// registry key of the document, in document order, its root spelt out
/// ("HKLM" as "HKEY_LOCAL_MACHINE"). Strings and multi-strings have
/// "%InstallDir%" and the directory macros expanded. A value that is not what
/// its datatype says (an integer that is no number, binary that is no Base64),
/// or of a datatype with no registry type here, is named in a comment line.
std::string RegFileBytes(const XmlSetupAnalysis& analysis, RegFileFormat format);

/// The registry editor's name of a hive root ("HKEY_LOCAL_MACHINE"), empty
/// for a root number with no name.
std::string RegRootLongName(uint16_t root);

/// "<AppName>.reg" (the package's own stem when it has no application name),
/// made safe to use as a single file name.
std::string RegFileNameFor(const std::string& appName, const std::string& packageStem);

}  // namespace vornix

// The selection variant of the extraction: the rows a user ticked in the
// selective extraction dialog, run through the same one-pass extraction as
// the extraction of every file.
#pragma once

#include <vector>

#include "package/extraction.h"

namespace vornix {

/// Of `all` (the request for every row of a files list, in display order,
/// its setup DLL row included), keeps the rows whose `chosen` flag is set.
/// A chosen setup DLL row (stored name ending in ".999") only asks for the
/// DLL to be written as ".dll"; an unchosen one leaves it out. In flat mode
/// only the chosen entries are written, straight into the folder, rather
/// than every entry of the cabinet. `writeInf` is the dialog's "Save INF
/// file".
ExtractRequest SelectionRequest(ExtractRequest all, const std::vector<bool>& chosen, bool writeInf);

}  // namespace vornix

// `vornix --catalog DIR [--jobs N] [--csv]`: one line for every package in a
// folder tree, for people sorting thousands of downloads.
//
// Every cabinet, theme and bare setup description below DIR is opened the way
// the window opens it (into private temporary folders, one set per worker,
// nothing extracted and nothing written beside the packages), and so is every
// complete cabinet inside a desktop installer (a file starting with "MZ", or
// an MSI database). The lines come out sorted by path, the same lines in the
// same order whatever the number of workers.
#pragma once

#include <string>
#include <vector>

namespace vornix {

/// `args` are the arguments after "--catalog".
int RunCatalog(const std::vector<std::string>& args);

}  // namespace vornix

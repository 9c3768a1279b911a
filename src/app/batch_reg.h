// The registry export of the batch mode.
#pragma once

#include <string>

namespace vornix {

/// `vornix PACKAGE reg [--regedit4]`: writes "<AppName>.reg" beside PACKAGE.
int RunReg(const std::string& package, bool regedit4);

}  // namespace vornix

// Batch jobs on cabinets as files: who signed one (`verify`), which cabinets
// another file holds (`--scan`), and a cabinet inside another file named
// on the command line as FILE#N.
#pragma once

#include <string>
#include <vector>

namespace vornix {

/// Exit codes of `verify` besides 0 (signed and intact) and 1 (unreadable).
enum VerifyExit : int {
  kExitNotSigned = 3,
  kExitSignatureMismatch = 4,
};

/// `vornix PACKAGE verify`: a short summary of the signature on stdout.
int RunVerify(const std::string& package);

/// `vornix --scan FILE`: the complete cabinets inside FILE, one line each.
int RunScan(const std::string& file);

/// True when `arg` names a cabinet inside another file: "FILE#N" where FILE
/// is a file and `arg` itself is not one.
bool IsEmbeddedArgument(const std::string& arg);

/// Runs the batch job of `args`, whose argument at `packageAt` is "FILE#N",
/// on a private copy of that cabinet's bytes. An INF that the job writes
/// beside the package goes beside FILE as "<FILE's stem>#N.inf".
int RunEmbedded(std::vector<std::string> args, size_t packageAt);

}  // namespace vornix

// The project's own demonstration package (samples/tidepool.cab), built from
// the demo setup description, so tests and the sample share one recipe.
#pragma once

#include <string>

#include "helpers/cab_builder.h"
#include "helpers/setup_builder.h"

namespace vornix::testing {

/// Stored name of the demo's setup description and of its setup DLL.
inline constexpr const char* kDemoSetupName = "TIDEPO~1.000";
inline constexpr const char* kDemoSetupDllName = "TIDEPO~1.999";

/// A cabinet holding the setup file of `desc` under `setupName`, one entry per
/// file record named "<8.3 stem>.%03d" after its ID with `fileData`'s text,
/// and a setup DLL when `withSetupDll`. Members are listed in descending
/// number order, as CabWiz lists them.
CabBuilder PackageFor(const SetupRecipe& desc, const std::string& setupName, bool withSetupDll,
                      CabCompression compression = CabCompression::MSZIP);

/// The stored name PackageFor gives the file with this ID ("TIDEPO~1.001").
std::string StoredNameFor(const SetupRecipe::File& file);

/// Bytes PackageFor stores for a file record (deterministic, name-dependent).
std::string DemoFileData(const SetupRecipe::File& file);

/// samples/tidepool.cab.
CabBuilder DemoPackage();

/// A package that takes a while: BigPackage's `fileCount` members, about
/// `totalBytes` in one MSZIP folder, installed as "m%04d.txt" (the member
/// number) into %CE1% by a setup description for "Big".
CabBuilder BigDemoPackage(int fileCount, size_t totalBytes);

}  // namespace vornix::testing

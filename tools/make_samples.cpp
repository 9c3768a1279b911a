// Writes the project's own sample packages into a folder (samples/ by
// default): the packages README.md opens, made by the same recipes the tests use.
#include <filesystem>
#include <iostream>

#include "helpers/demo_package.h"
#include "helpers/demo_theme.h"
#include "helpers/setup_builder.h"

int main(int argc, char** argv) {
  const std::filesystem::path folder = argc > 1 ? argv[1] : "samples";
  std::filesystem::create_directories(folder);
  using namespace vornix::testing;
  bool ok = DemoPackage().writeTo(folder / "tidepool.cab");
  ok = DemoTheme().writeTo(folder / "sunset.tsk") && ok;
  const std::string setup = BuildSetupFile(DemoApplication());
  ok = ok && std::filesystem::exists(folder / "tidepool.cab");
  if (FILE* f = std::fopen((folder / "tidepool.000").c_str(), "wb")) {
    ok = std::fwrite(setup.data(), 1, setup.size(), f) == setup.size() && ok;
    std::fclose(f);
  } else {
    ok = false;
  }
  std::cout << (ok ? "wrote " : "failed to write ") << folder / "tidepool.cab"
            << ", " << folder / "tidepool.000"
            << " and " << folder / "sunset.tsk" << std::endl;
  return ok ? 0 : 1;
}

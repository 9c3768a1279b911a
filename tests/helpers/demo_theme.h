// The project's own demonstration theme (samples/sunset.tsk): a Pocket PC
// theme described by _setup.xml, with real PNG pictures drawn here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "helpers/cab_builder.h"

namespace vornix::testing {

/// A PNG file of a vertical colour gradient (24-bit RGB), written with zlib.
std::string GradientPng(int width, int height, uint32_t topRgb, uint32_t bottomRgb);

/// The theme's _setup.xml text.
std::string DemoThemeXml();

/// The theme cabinet: today and start pictures in portrait and landscape and
/// the _setup.xml that installs them.
CabBuilder DemoTheme();

/// A picture a theme installs: its destination name ("tdywater_240_320.png")
/// and its bytes. It is stored in the cabinet as "PIC01~1.001", "PIC02~1.002", ...
struct ThemePictureFile {
  std::string DestName;
  std::string Bytes;
};

/// A theme described by _setup.xml that installs these pictures.
CabBuilder XmlPictureTheme(const std::string& appName, const std::vector<ThemePictureFile>& pictures);
/// The same theme described by a ".000" setup file, with its own registry key.
CabBuilder SetupPictureTheme(const std::string& appName, const std::vector<ThemePictureFile>& pictures);

}  // namespace vornix::testing

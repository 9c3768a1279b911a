// The project's own demonstration theme (samples/sunset.tsk): a Pocket PC
// theme described by _setup.xml, with real PNG pictures drawn here.
#pragma once

#include <cstdint>
#include <string>

#include "helpers/cab_builder.h"

namespace vornix::testing {

/// A PNG file of a vertical colour gradient (24-bit RGB), written with zlib.
std::string GradientPng(int width, int height, uint32_t topRgb, uint32_t bottomRgb);

/// The theme's _setup.xml text.
std::string DemoThemeXml();

/// The theme cabinet: today and start pictures in portrait and landscape and
/// the _setup.xml that installs them.
CabBuilder DemoTheme();

}  // namespace vornix::testing

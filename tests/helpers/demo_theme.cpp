#include "helpers/demo_theme.h"

#include <zlib.h>

#include <cstdio>

#include "helpers/setup_builder.h"

namespace vornix::testing {
namespace {

void AddU32Be(std::string& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((v >> shift) & 0xFF);
}

void AddChunk(std::string& png, const char* type, const std::string& data) {
  AddU32Be(png, static_cast<uint32_t>(data.size()));
  const std::string body = std::string(type, 4) + data;
  png += body;
  AddU32Be(png, static_cast<uint32_t>(
                    crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()))));
}

std::string PictureCabName(size_t index) {
  char name[32];
  std::snprintf(name, sizeof name, "PIC%02u~1.%03u", static_cast<unsigned>(index + 1) % 100,
                static_cast<unsigned>(index + 1) % 1000);
  return name;
}

}  // namespace

std::string GradientPng(int width, int height, uint32_t topRgb, uint32_t bottomRgb) {
  std::string raw;
  raw.reserve(static_cast<size_t>((width * 3 + 1) * height));
  for (int y = 0; y < height; ++y) {
    raw += '\0';  // filter: none
    for (int x = 0; x < width; ++x) {
      for (int shift = 16; shift >= 0; shift -= 8) {
        const int a = static_cast<int>((topRgb >> shift) & 0xFF), b = static_cast<int>((bottomRgb >> shift) & 0xFF);
        raw += static_cast<char>(a + (b - a) * y / (height > 1 ? height - 1 : 1));
      }
    }
  }
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  std::string packed(size, '\0');
  compress2(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(raw.data()),
            static_cast<uLong>(raw.size()), 9);
  packed.resize(size);

  std::string png = "\x89PNG\r\n\x1A\n";
  std::string header;
  AddU32Be(header, static_cast<uint32_t>(width));
  AddU32Be(header, static_cast<uint32_t>(height));
  header += std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, no filter, no interlace
  AddChunk(png, "IHDR", header);
  AddChunk(png, "IDAT", packed);
  AddChunk(png, "IEND", "");
  return png;
}

std::string DemoThemeXml() {
  return R"(<?xml version="1.0" encoding="utf-8"?>
<wap-provisioningdoc>
  <characteristic type="Install">
    <parm name="InstallPhase" value="install"/>
    <parm name="AppName" value="Sunset"/>
    <parm name="ProcessorType" value="2577"/>
    <parm name="OSVersionMin" value="4.0"/>
    <parm name="OSVersionMax" value="100.0"/>
    <parm name="NumFiles" value="4"/>
  </characteristic>
  <characteristic type="FileOperation">
    <characteristic type="%CE2%" translation="install">
      <characteristic type="MakeDir"/>
      <characteristic type="tdywater_240_320.png" translation="install">
        <characteristic type="Extract"><parm name="Source" value="TDYWAT~1.001"/></characteristic>
      </characteristic>
      <characteristic type="stwater_240_320.png" translation="install">
        <characteristic type="Extract"><parm name="Source" value="STWATE~1.002"/></characteristic>
      </characteristic>
      <characteristic type="tdywater_320_240.png" translation="install">
        <characteristic type="Extract"><parm name="Source" value="TDYWAT~2.003"/></characteristic>
      </characteristic>
      <characteristic type="stwater_320_240.png" translation="install">
        <characteristic type="Extract"><parm name="Source" value="STWATE~2.004"/></characteristic>
      </characteristic>
    </characteristic>
  </characteristic>
  <characteristic type="Registry">
    <characteristic type="HKLM\Software\Microsoft\Color">
      <parm name="4" value="mWYzAA==" datatype="binary"/>
      <parm name="BaseHue" value="12" datatype="integer"/>
    </characteristic>
    <characteristic type="HKCU\Software\Microsoft\Today">
      <parm name="UseStartImage" value="AQAAAA==" datatype="binary"/>
      <parm name="DPI" value="96" datatype="integer"/>
    </characteristic>
    <characteristic type="HKCU\Software\Microsoft\Today\Themes\Sunset.tsk">
      <parm name="Color_HighlightText" value="16777215" datatype="integer"/>
    </characteristic>
  </characteristic>
</wap-provisioningdoc>
)";
}

CabBuilder DemoTheme() {
  CabBuilder cab;
  cab.folder(CabCompression::MSZIP)
      .add("TDYWAT~1.001", GradientPng(240, 320, 0xFFB347, 0x6A0DAD))
      .add("STWATE~1.002", GradientPng(240, 320, 0x2B1055, 0xFF6F3C))
      .add("TDYWAT~2.003", GradientPng(320, 240, 0xFFB347, 0x6A0DAD))
      .add("STWATE~2.004", GradientPng(320, 240, 0x2B1055, 0xFF6F3C))
      .add("_setup.xml", DemoThemeXml());
  return cab;
}

CabBuilder XmlPictureTheme(const std::string& appName, const std::vector<ThemePictureFile>& pictures) {
  std::string xml = "<wap-provisioningdoc>\n  <characteristic type=\"Install\">\n    <parm name=\"AppName\" value=\"" +
                    appName +
                    "\"/>\n  </characteristic>\n  <characteristic type=\"FileOperation\">\n"
                    "    <characteristic type=\"%CE2%\" translation=\"install\">\n";
  CabBuilder cab;
  cab.folder(CabCompression::MSZIP);
  for (size_t i = 0; i < pictures.size(); ++i) {
    xml += "      <characteristic type=\"" + pictures[i].DestName +
           "\" translation=\"install\">\n"
           "        <characteristic type=\"Extract\"><parm name=\"Source\" value=\"" +
           PictureCabName(i) + "\"/></characteristic>\n      </characteristic>\n";
    cab.add(PictureCabName(i), pictures[i].Bytes);
  }
  xml += "    </characteristic>\n  </characteristic>\n</wap-provisioningdoc>\n";
  cab.add("_setup.xml", xml);
  return cab;
}

CabBuilder SetupPictureTheme(const std::string& appName, const std::vector<ThemePictureFile>& pictures) {
  SetupRecipe s;
  s.AppName = appName;
  s.Provider = "Vornix Samples";
  s.Strings = {{1, "%CE2%"}, {2, "Software"}, {3, "Microsoft"}, {4, "Today"}, {5, "Themes"}, {6, appName + ".tsk"}};
  s.Dirs = {{1, {1}}};
  s.Hives = {{1, 2, {2, 3, 4, 5, 6}}};  // HKCU\Software\Microsoft\Today\Themes\<name>.tsk
  s.RegKeys = {{1, 1, 0x00010001, "UseDefaultTitleColor", RegDwordBytes(1)}};
  CabBuilder cab;
  cab.folder(CabCompression::MSZIP);
  for (size_t i = 0; i < pictures.size(); ++i) {
    const auto id = static_cast<uint16_t>(i + 1);
    s.Files.push_back({id, 1, 0, 0, pictures[i].DestName});
    cab.add(PictureCabName(i), pictures[i].Bytes);
  }
  cab.add("THEME~1.000", BuildSetupFile(s));
  return cab;
}

}  // namespace vornix::testing

#include "theme/picture_info.h"

#include <cstdint>
#include <cstdlib>

#include "presentation/catalogue_open.h"

namespace vornix {
namespace {

uint32_t Le16(std::string_view b, size_t at) {
  return static_cast<uint8_t>(b[at]) | (static_cast<uint8_t>(b[at + 1]) << 8);
}
uint32_t Le32(std::string_view b, size_t at) { return Le16(b, at) | (Le16(b, at + 2) << 16); }
uint32_t Be16(std::string_view b, size_t at) {
  return (static_cast<uint8_t>(b[at]) << 8) | static_cast<uint8_t>(b[at + 1]);
}
uint32_t Be32(std::string_view b, size_t at) { return (Be16(b, at) << 16) | Be16(b, at + 2); }

PictureInfo Bmp(std::string_view b) {
  PictureInfo info{PictureFormat::Bitmap};
  if (b.size() < 30) return info;
  const uint32_t header = Le32(b, 14);
  if (header == 12) {  // OS/2 core header: 16-bit sizes
    info.Width = static_cast<int>(Le16(b, 18));
    info.Height = static_cast<int>(Le16(b, 20));
    info.Depth = static_cast<int>(Le16(b, 24));
  } else {
    const auto width = static_cast<int32_t>(Le32(b, 18));
    const auto height = static_cast<int32_t>(Le32(b, 22));
    // A negative height marks a top-down picture; INT_MIN has no magnitude
    // and no picture has it, so the header is not a bitmap header.
    if (width == INT32_MIN || height == INT32_MIN) return {};
    info.Width = std::abs(width);
    info.Height = std::abs(height);
    info.Depth = static_cast<int>(Le16(b, 28));
  }
  return info;
}

PictureInfo Png(std::string_view b) {
  PictureInfo info{PictureFormat::Png};
  if (b.size() < 33 || b.substr(12, 4) != "IHDR") return info;
  info.Width = static_cast<int>(Be32(b, 16) & 0x7FFFFFFF);
  info.Height = static_cast<int>(Be32(b, 20) & 0x7FFFFFFF);
  const int bits = static_cast<uint8_t>(b[24]);
  const int colourType = static_cast<uint8_t>(b[25]);
  // A transparency chunk makes the decoder hand over 32-bit ARGB.
  bool transparency = false;
  for (size_t at = 8; at + 8 <= b.size();) {
    const size_t length = Be32(b, at);
    const std::string_view type = b.substr(at + 4, 4);
    if (type == "IDAT" || type == "IEND") break;
    if (type == "tRNS") transparency = true;
    // The length and the 12 bytes around it are added in size_t: a length
    // near 2^32 must not wrap the step to nothing and spin on one chunk.
    if (b.size() - at < 12 || length > b.size() - at - 12) break;
    at += 12 + length;
  }
  switch (colourType) {
    case 0:  // grey
      info.Depth = bits == 16 ? 16 : transparency ? 32 : (bits == 2 ? 4 : bits);
      break;
    case 2:  // RGB
      info.Depth = bits == 16 ? 48 : transparency ? 32 : 24;
      break;
    case 3:  // palette
      info.Depth = transparency ? 32 : (bits == 2 ? 4 : bits);
      break;
    case 4:  // grey and alpha
      info.Depth = bits == 16 ? 64 : 32;
      break;
    case 6:  // RGBA
      info.Depth = bits == 16 ? 64 : 32;
      break;
    default: break;
  }
  return info;
}

PictureInfo Gif(std::string_view b) {
  PictureInfo info{PictureFormat::Gif};
  if (b.size() < 10) return info;
  info.Width = static_cast<int>(Le16(b, 6));
  info.Height = static_cast<int>(Le16(b, 8));
  info.Depth = 8;  // GIF images are always handed over as 8-bit indexed
  return info;
}

PictureInfo Jpeg(std::string_view b) {
  PictureInfo info{PictureFormat::Jpeg};
  size_t at = 2;
  while (at + 4 <= b.size()) {
    if (static_cast<uint8_t>(b[at]) != 0xFF) return info;
    const uint8_t marker = static_cast<uint8_t>(b[at + 1]);
    if (marker == 0xFF) {
      ++at;
      continue;
    }
    if (marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
      at += 2;
      continue;
    }
    const uint32_t length = Be16(b, at + 2);
    const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frame) {
      if (at + 10 > b.size()) return info;
      info.Height = static_cast<int>(Be16(b, at + 5));
      info.Width = static_cast<int>(Be16(b, at + 7));
      const int components = static_cast<uint8_t>(b[at + 9]);
      info.Depth = components == 1 ? 8 : components == 4 ? 32 : 24;
      return info;
    }
    if (marker == 0xDA || length < 2) return info;
    at += 2 + length;
  }
  return info;
}

PictureInfo Icon(std::string_view b) {
  PictureInfo info{PictureFormat::Icon};
  if (b.size() < 22) return info;
  info.Width = static_cast<uint8_t>(b[6]) ? static_cast<uint8_t>(b[6]) : 256;
  info.Height = static_cast<uint8_t>(b[7]) ? static_cast<uint8_t>(b[7]) : 256;
  info.Depth = 32;  // icons are handed over as ARGB
  return info;
}

bool BmpComplete(std::string_view b) {
  if (b.size() < 30) return false;
  const uint64_t dataOffset = Le32(b, 10);
  const uint32_t header = Le32(b, 14);
  uint64_t width = 0, height = 0, bits = 0;
  uint32_t compression = 0;
  if (header == 12) {
    width = Le16(b, 18);
    height = Le16(b, 20);
    bits = Le16(b, 24);
  } else {
    if (b.size() < 34) return false;
    width = static_cast<uint64_t>(std::abs(static_cast<int64_t>(static_cast<int32_t>(Le32(b, 18)))));
    height = static_cast<uint64_t>(std::abs(static_cast<int64_t>(static_cast<int32_t>(Le32(b, 22)))));
    bits = Le16(b, 28);
    compression = Le32(b, 30);
  }
  // Run-length and embedded formats have no fixed size to check against.
  if (compression != 0 && compression != 3 && compression != 6) return b.size() > dataOffset;
  const uint64_t stride = (width * bits + 31) / 32 * 4;
  if (stride != 0 && height > (UINT64_MAX - dataOffset) / stride) return false;
  return b.size() >= dataOffset + stride * height;
}

bool PngComplete(std::string_view b) {
  for (size_t at = 8; at + 12 <= b.size();) {
    const uint64_t length = Be32(b, at);
    if (length > b.size() - at - 12) return false;
    if (b.substr(at + 4, 4) == "IEND") return true;
    at += 12 + static_cast<size_t>(length);
  }
  return false;
}

// Skips a chain of data sub-blocks; false when the chain runs off the end.
bool SkipSubBlocks(std::string_view b, size_t& at) {
  while (at < b.size()) {
    const size_t n = static_cast<uint8_t>(b[at++]);
    if (n == 0) return true;
    at += n;
  }
  return false;
}

bool GifComplete(std::string_view b) {
  if (b.size() < 13) return false;
  size_t at = 13;
  const uint8_t screen = static_cast<uint8_t>(b[10]);
  if (screen & 0x80) at += 3u << ((screen & 7) + 1);
  while (at < b.size()) {
    const uint8_t kind = static_cast<uint8_t>(b[at]);
    if (kind == 0x21) {  // extension: label, then sub-blocks
      at += 2;
      if (!SkipSubBlocks(b, at)) return false;
    } else if (kind == 0x2C) {  // the first image: descriptor, colour table, code size, data
      if (at + 10 > b.size()) return false;
      const uint8_t local = static_cast<uint8_t>(b[at + 9]);
      at += 10;
      if (local & 0x80) at += 3u << ((local & 7) + 1);
      at += 1;
      return SkipSubBlocks(b, at);
    } else {
      return false;  // the trailer or junk before any image
    }
  }
  return false;
}

bool JpegComplete(std::string_view b) {
  size_t at = 2;
  bool scanned = false;
  while (at + 2 <= b.size()) {
    if (static_cast<uint8_t>(b[at]) != 0xFF) return false;
    const uint8_t marker = static_cast<uint8_t>(b[at + 1]);
    if (marker == 0xFF) {
      ++at;
      continue;
    }
    if (marker == 0xD9) return scanned;
    if (marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
      at += 2;
      continue;
    }
    if (at + 4 > b.size()) return false;
    at += 2 + Be16(b, at + 2);
    if (marker != 0xDA) continue;
    // Entropy-coded data runs to the next marker that is neither a stuffed
    // zero nor a restart.
    scanned = true;
    for (;;) {
      while (at < b.size() && static_cast<uint8_t>(b[at]) != 0xFF) ++at;
      if (at + 1 >= b.size()) return false;
      const uint8_t next = static_cast<uint8_t>(b[at + 1]);
      if (next == 0x00 || next == 0xFF || (next >= 0xD0 && next <= 0xD7)) {
        at += next == 0xFF ? 1 : 2;
        continue;
      }
      break;
    }
  }
  return false;
}

}  // namespace

bool PictureDataComplete(std::string_view b) {
  switch (ReadPictureInfo(b).Format) {
    case PictureFormat::Bitmap: return BmpComplete(b);
    case PictureFormat::Png: return PngComplete(b);
    case PictureFormat::Gif: return GifComplete(b);
    case PictureFormat::Jpeg: return JpegComplete(b);
    default: return true;
  }
}

PictureInfo ReadPictureInfo(std::string_view b) {
  if (b.size() >= 2 && b.substr(0, 2) == "BM") return Bmp(b);
  if (b.size() >= 8 && b.substr(0, 8) == std::string_view("\x89PNG\r\n\x1A\n", 8)) return Png(b);
  if (b.size() >= 6 && (b.substr(0, 6) == "GIF87a" || b.substr(0, 6) == "GIF89a")) return Gif(b);
  if (b.size() >= 3 && b.substr(0, 3) == "\xFF\xD8\xFF") return Jpeg(b);
  if (b.size() >= 4 &&
      (b.substr(0, 4) == std::string_view("II*\0", 4) || b.substr(0, 4) == std::string_view("MM\0*", 4)))
    return {PictureFormat::Tiff};
  if (b.size() >= 4 && b.substr(0, 4) == std::string_view("\0\0\1\0", 4)) return Icon(b);
  if (b.size() >= 44 && Le32(b, 0) == 1 && b.substr(40, 4) == " EMF") return {PictureFormat::Emf};
  if (b.size() >= 4 && (b.substr(0, 4) == "\xD7\xCD\xC6\x9A" || b.substr(0, 4) == std::string_view("\1\0\x9\0", 4) ||
                        b.substr(0, 4) == std::string_view("\2\0\x9\0", 4)))
    return {PictureFormat::Wmf};
  return {};
}

std::string PictureFormatName(PictureFormat format) {
  switch (format) {
    case PictureFormat::Undefined: return Str(OpenStr::Undefined);
    case PictureFormat::MemoryBitmap: return Str(OpenStr::MemoryBitmap);
    case PictureFormat::Bitmap: return "Bitmap";
    case PictureFormat::Emf: return "EMF";
    case PictureFormat::Wmf: return "WMF";
    case PictureFormat::Jpeg: return "JPEG";
    case PictureFormat::Png: return "PNG";
    case PictureFormat::Gif: return "GIF";
    case PictureFormat::Tiff: return "TIFF";
    case PictureFormat::Exif: return "EXIF";
    case PictureFormat::Icon: return "Icon";
    case PictureFormat::Unknown: break;
  }
  return {};
}

std::string ColourDepthText(int depth) {
  switch (depth) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
    case 48:
    case 64: return std::to_string(depth);
    default: return {};
  }
}

}  // namespace vornix

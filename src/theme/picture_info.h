// What a theme image is, read from its first bytes: picture format, size and
// colour depth as the preview pane reports them. Decoding and scaling stay
// with the window; the core never needs the pixels.
#pragma once

#include <string>
#include <string_view>

namespace vornix {

enum class PictureFormat { Undefined, MemoryBitmap, Bitmap, Emf, Wmf, Jpeg, Png, Gif, Tiff, Exif, Icon, Unknown };

struct PictureInfo {
  PictureFormat Format = PictureFormat::Unknown;
  int Width = 0;
  int Height = 0;
  int Depth = 0;  // bits per pixel as the decoder hands the image over; 0 when not known
};

/// Reads the header of an image file. Anything unrecognised is Unknown.
PictureInfo ReadPictureInfo(std::string_view bytes);

/// Whether the file holds all the picture data its header announces: a BMP
/// its rows, a PNG its IEND chunk, a GIF its first image's data blocks, a JPEG
/// its end marker after a scan. Decoders fill what is missing with grey or
/// garbage, so a cut file is caught here instead. Unknown formats are not
/// judged (true).
bool PictureDataComplete(std::string_view bytes);

/// The format name the preview shows ("Bitmap", "JPEG", "PNG", ...; the two
/// French texts for undefined and memory bitmaps; empty for Unknown).
std::string PictureFormatName(PictureFormat format);

/// "1", "4", "8", "16", "24", "32", "48", "64", or empty for any other depth.
std::string ColourDepthText(int depth);

}  // namespace vornix

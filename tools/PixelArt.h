// Readable pixel art ("size", "bits", "palette", "pixels" sections) and its conversion to
// the 4- and 8-bit Windows bitmap and icon files that the resource compiler embeds.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "tools/ToolSupport.h"

enum class PixelArtTarget { Bitmap, Icon };

struct PixelArt {
  int width = 0;
  int height = 0;
  int bitsPerPixel = 0;
  std::vector<std::uint32_t> colourTable;   // 0xRRGGBB, in palette order, without transparent entries
  std::vector<std::uint8_t> colourIndices;  // width * height, top row first
  std::vector<bool> transparent;            // width * height; only icons have transparent pixels
};

// Throws SourceError at the offending line. Transparent palette entries are accepted for icons only.
PixelArt parsePixelArt(std::string_view text, PixelArtTarget target);

// A .bmp file: bottom-up rows, full 2^bits colour table.
Bytes encodeBitmap(const PixelArt& art);

// A .ico file holding one image: colour (XOR) image and 1-bit transparency (AND) mask.
Bytes encodeIcon(const PixelArt& art);

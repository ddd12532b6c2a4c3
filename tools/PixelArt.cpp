// Parser of the pixel-art text and writers of the bitmap and icon files.
#include "tools/PixelArt.h"

#include <array>
#include <charconv>
#include <optional>
#include <string>

namespace {

constexpr int kMaxBitmapSide = 4096;
constexpr int kMaxIconSide = 256;  // an icon directory stores sides as bytes, 0 meaning 256
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kIconDirSize = 6;
constexpr std::uint32_t kIconEntrySize = 16;

struct Line {
  int number;
  int firstColumn;        // 1-based column of text[0] in the file
  std::string_view text;  // without surrounding blanks
};

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::vector<std::string_view> splitWords(std::string_view text) {
  std::vector<std::string_view> words;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && isBlank(text[i])) ++i;
    std::size_t start = i;
    while (i < text.size() && !isBlank(text[i])) ++i;
    if (i > start) words.push_back(text.substr(start, i - start));
  }
  return words;
}

std::optional<int> parsePositive(std::string_view word) {
  int value = 0;
  auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
  if (error != std::errc() || end != word.data() + word.size() || value <= 0) return std::nullopt;
  return value;
}

std::optional<std::uint32_t> parseRgb(std::string_view word) {
  if (word.size() != 6) return std::nullopt;
  std::uint32_t value = 0;
  auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value, 16);
  if (error != std::errc() || end != word.data() + word.size()) return std::nullopt;
  return value;
}

class PixelArtParser {
 public:
  PixelArtParser(std::string_view text, PixelArtTarget target) : text_(text), target_(target) {}

  PixelArt parse() {
    while (std::optional<Line> line = nextLine()) {
      switch (section_) {
        case Section::Header:
          headerLine(*line);
          break;
        case Section::Palette:
          paletteLine(*line);
          break;
        case Section::Pixels:
          pixelRow(*line);
          break;
      }
    }
    if (section_ == Section::Header) fail(lastLine_, 1, "missing 'palette' section");
    if (section_ == Section::Palette) fail(lastLine_, 1, "missing 'pixels' section");
    if (rows_ != art_.height)
      fail(lastLine_, 1, "expected " + std::to_string(art_.height) + " pixel rows, found " + std::to_string(rows_));
    return std::move(art_);
  }

 private:
  enum class Section { Header, Palette, Pixels };

  struct PaletteEntry {
    bool defined = false;
    bool transparent = false;
    std::uint8_t index = 0;
  };

  [[noreturn]] static void fail(int line, int column, const std::string& message) {
    throw SourceError(line, column, message);
  }

  // Skips blank and comment lines.
  std::optional<Line> nextLine() {
    while (position_ < text_.size()) {
      std::size_t end = text_.find('\n', position_);
      if (end == std::string_view::npos) end = text_.size();
      std::string_view raw = text_.substr(position_, end - position_);
      position_ = end + 1;
      lastLine_ = ++lineNumber_;
      std::size_t first = 0;
      while (first < raw.size() && isBlank(raw[first])) ++first;
      std::size_t last = raw.size();
      while (last > first && isBlank(raw[last - 1])) --last;
      std::string_view body = raw.substr(first, last - first);
      if (body.empty() || body.front() == '#') continue;
      return Line{lineNumber_, static_cast<int>(first) + 1, body};
    }
    return std::nullopt;
  }

  void headerLine(const Line& line) {
    std::vector<std::string_view> words = splitWords(line.text);
    if (words[0] == "size") {
      if (art_.width != 0) fail(line.number, line.firstColumn, "'size' given twice");
      std::optional<int> width = words.size() == 3 ? parsePositive(words[1]) : std::nullopt;
      std::optional<int> height = words.size() == 3 ? parsePositive(words[2]) : std::nullopt;
      if (!width || !height) fail(line.number, line.firstColumn, "expected 'size <width> <height>'");
      int limit = target_ == PixelArtTarget::Icon ? kMaxIconSide : kMaxBitmapSide;
      if (*width > limit || *height > limit)
        fail(line.number, line.firstColumn, "image too large (at most " + std::to_string(limit) + " pixels a side)");
      art_.width = *width;
      art_.height = *height;
    } else if (words[0] == "bits") {
      if (art_.bitsPerPixel != 0) fail(line.number, line.firstColumn, "'bits' given twice");
      if (words.size() != 2 || (words[1] != "4" && words[1] != "8"))
        fail(line.number, line.firstColumn, "expected 'bits 4' or 'bits 8'");
      art_.bitsPerPixel = words[1] == "4" ? 4 : 8;
    } else if (words[0] == "palette" && words.size() == 1) {
      if (art_.width == 0) fail(line.number, line.firstColumn, "missing 'size' line before 'palette'");
      if (art_.bitsPerPixel == 0) fail(line.number, line.firstColumn, "missing 'bits' line before 'palette'");
      art_.colourIndices.reserve(static_cast<std::size_t>(art_.width) * art_.height);
      section_ = Section::Palette;
    } else {
      fail(line.number, line.firstColumn, "expected 'size', 'bits' or 'palette'");
    }
  }

  void paletteLine(const Line& line) {
    std::vector<std::string_view> words = splitWords(line.text);
    if (words.size() == 1 && words[0] == "pixels") {
      section_ = Section::Pixels;
      return;
    }
    if (words.size() != 2 || words[0].size() != 1)
      fail(line.number, line.firstColumn, "expected '<character> <RRGGBB>' or 'pixels'");
    auto key = static_cast<unsigned char>(words[0][0]);
    if (key < 0x21 || key > 0x7E) fail(line.number, line.firstColumn, "palette character must be printable");
    PaletteEntry& entry = palette_[key];
    if (entry.defined)
      fail(line.number, line.firstColumn, "palette character '" + std::string(words[0]) + "' given twice");
    int valueColumn = line.firstColumn + static_cast<int>(words[1].data() - line.text.data());
    if (words[1] == "transparent") {
      if (target_ != PixelArtTarget::Icon) fail(line.number, valueColumn, "transparent colours are for icons only");
      entry = PaletteEntry{true, true, 0};
      return;
    }
    std::optional<std::uint32_t> rgb = parseRgb(words[1]);
    if (!rgb) fail(line.number, valueColumn, "expected a colour as six hex digits RRGGBB");
    std::size_t capacity = std::size_t{1} << art_.bitsPerPixel;
    if (art_.colourTable.size() == capacity)
      fail(line.number, line.firstColumn,
           "too many colours for " + std::to_string(art_.bitsPerPixel) + " bits (at most " + std::to_string(capacity) +
               ")");
    entry = PaletteEntry{true, false, static_cast<std::uint8_t>(art_.colourTable.size())};
    art_.colourTable.push_back(*rgb);
  }

  void pixelRow(const Line& line) {
    if (rows_ == art_.height)
      fail(line.number, line.firstColumn, "more than " + std::to_string(art_.height) + " pixel rows");
    for (std::size_t x = 0; x < line.text.size() && x < static_cast<std::size_t>(art_.width); ++x) {
      const PaletteEntry& entry = palette_[static_cast<unsigned char>(line.text[x])];
      if (!entry.defined)
        fail(line.number, line.firstColumn + static_cast<int>(x),
             std::string("character '") + line.text[x] + "' is not in the palette");
      art_.colourIndices.push_back(entry.index);
      art_.transparent.push_back(entry.transparent);
    }
    if (line.text.size() != static_cast<std::size_t>(art_.width))
      fail(line.number, line.firstColumn,
           "pixel row has " + std::to_string(line.text.size()) + " characters, expected " + std::to_string(art_.width));
    ++rows_;
  }

  std::string_view text_;
  PixelArtTarget target_;
  std::size_t position_ = 0;
  int lineNumber_ = 0;
  int lastLine_ = 1;
  Section section_ = Section::Header;
  std::array<PaletteEntry, 256> palette_{};
  PixelArt art_;
  int rows_ = 0;
};

std::uint32_t rowStride(int width, int bitsPerPixel) {
  return static_cast<std::uint32_t>((width * bitsPerPixel + 31) / 32 * 4);
}

void writeInfoHeader(ByteWriter& out, const PixelArt& art, int storedHeight, std::uint32_t imageSize,
                     std::uint32_t coloursUsed) {
  out.u32(kInfoHeaderSize);
  out.u32(static_cast<std::uint32_t>(art.width));
  out.u32(static_cast<std::uint32_t>(storedHeight));
  out.u16(1);  // planes
  out.u16(static_cast<std::uint16_t>(art.bitsPerPixel));
  out.u32(0);  // BI_RGB
  out.u32(imageSize);
  out.u32(0);  // horizontal resolution
  out.u32(0);  // vertical resolution
  out.u32(coloursUsed);
  out.u32(0);  // all colours important
}

void writeColourTable(ByteWriter& out, const PixelArt& art) {
  std::size_t entries = std::size_t{1} << art.bitsPerPixel;
  for (std::size_t i = 0; i < entries; ++i) {
    std::uint32_t rgb = i < art.colourTable.size() ? art.colourTable[i] : 0;
    out.u8(static_cast<std::uint8_t>(rgb));
    out.u8(static_cast<std::uint8_t>(rgb >> 8));
    out.u8(static_cast<std::uint8_t>(rgb >> 16));
    out.u8(0);
  }
}

void writeColourPixels(ByteWriter& out, const PixelArt& art) {
  std::uint32_t stride = rowStride(art.width, art.bitsPerPixel);
  for (int y = art.height - 1; y >= 0; --y) {
    std::vector<std::uint8_t> row(stride, 0);
    for (int x = 0; x < art.width; ++x) {
      std::uint8_t index = art.colourIndices[static_cast<std::size_t>(y) * art.width + x];
      if (art.bitsPerPixel == 8) {
        row[x] = index;
      } else {
        row[x / 2] |= static_cast<std::uint8_t>(x % 2 == 0 ? index << 4 : index);
      }
    }
    out.raw(row.data(), row.size());
  }
}

void writeTransparencyMask(ByteWriter& out, const PixelArt& art) {
  std::uint32_t stride = rowStride(art.width, 1);
  for (int y = art.height - 1; y >= 0; --y) {
    std::vector<std::uint8_t> row(stride, 0);
    for (int x = 0; x < art.width; ++x) {
      if (art.transparent[static_cast<std::size_t>(y) * art.width + x])
        row[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    }
    out.raw(row.data(), row.size());
  }
}

}  // namespace

PixelArt parsePixelArt(std::string_view text, PixelArtTarget target) { return PixelArtParser(text, target).parse(); }

Bytes encodeBitmap(const PixelArt& art) {
  std::uint32_t colourTableSize = 4u << art.bitsPerPixel;
  std::uint32_t pixelOffset = kFileHeaderSize + kInfoHeaderSize + colourTableSize;
  std::uint32_t imageSize = rowStride(art.width, art.bitsPerPixel) * static_cast<std::uint32_t>(art.height);
  ByteWriter out;
  out.raw("BM");
  out.u32(pixelOffset + imageSize);
  out.u32(0);  // two reserved words
  out.u32(pixelOffset);
  writeInfoHeader(out, art, art.height, imageSize, 1u << art.bitsPerPixel);
  writeColourTable(out, art);
  writeColourPixels(out, art);
  return out.take();
}

Bytes encodeIcon(const PixelArt& art) {
  auto height = static_cast<std::uint32_t>(art.height);
  std::uint32_t colourSize = rowStride(art.width, art.bitsPerPixel) * height;
  std::uint32_t maskSize = rowStride(art.width, 1) * height;
  std::uint32_t imageBytes = kInfoHeaderSize + (4u << art.bitsPerPixel) + colourSize + maskSize;
  ByteWriter out;
  out.u16(0);                                    // reserved
  out.u16(1);                                    // icon, not cursor
  out.u16(1);                                    // one image
  out.u8(static_cast<std::uint8_t>(art.width));  // 256 wraps to the 0 that stands for it
  out.u8(static_cast<std::uint8_t>(art.height));
  out.u8(art.bitsPerPixel == 4 ? 16 : 0);
  out.u8(0);   // reserved
  out.u16(1);  // planes
  out.u16(static_cast<std::uint16_t>(art.bitsPerPixel));
  out.u32(imageBytes);
  out.u32(kIconDirSize + kIconEntrySize);
  // The stored height covers the colour image and the mask stacked together.
  writeInfoHeader(out, art, 2 * art.height, colourSize + maskSize, 0);
  writeColourTable(out, art);
  writeColourPixels(out, art);
  writeTransparencyMask(out, art);
  return out.take();
}

// pixelart run as the build runs it: the written bitmaps and icons are read back and compared
// with the art, down to row padding, nibble order and the transparency mask.
#include <gtest/gtest.h>

#include <string>

#include "ToolPaths.h"
#include "tools/tests/ToolRunner.h"

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kInfoHeaderSize = 40;
constexpr std::size_t kIconHeadersSize = 6 + 16;

// What a reader of the file sees: the header fields and each pixel's colour-table index.
struct DecodedImage {
  std::int32_t width = 0;
  std::int32_t storedHeight = 0;
  int bitsPerPixel = 0;
  std::uint32_t imageSize = 0;
  std::uint32_t coloursUsed = 0;
  std::vector<std::uint32_t> colourTable;  // 0xRRGGBB
  std::vector<std::string> rows;           // indices as hex digits for 4 bits, top row first
  std::vector<std::string> maskRows;       // '1' transparent, '0' opaque, top row first
  std::size_t end = 0;                     // offset just past what was read
};

std::size_t paddedRow(int width, int bits) { return static_cast<std::size_t>((width * bits + 31) / 32 * 4); }

// Reads a BITMAPINFOHEADER, colour table and colour pixels at `offset`; also the AND mask when asked.
// Checks that row padding bytes are zero.
DecodedImage decodeImage(const Bytes& file, std::size_t offset, int height, bool withMask) {
  DecodedImage image;
  EXPECT_EQ(readLe32(file, offset), kInfoHeaderSize);
  image.width = readLe32Signed(file, offset + 4);
  image.storedHeight = readLe32Signed(file, offset + 8);
  EXPECT_EQ(readLe16(file, offset + 12), 1) << "planes";
  image.bitsPerPixel = readLe16(file, offset + 14);
  EXPECT_EQ(readLe32(file, offset + 16), 0u) << "compression";
  image.imageSize = readLe32(file, offset + 20);
  image.coloursUsed = readLe32(file, offset + 32);
  std::size_t at = offset + kInfoHeaderSize;
  for (int i = 0; i < (1 << image.bitsPerPixel); ++i, at += 4) {
    image.colourTable.push_back(file.at(at + 2) << 16 | file.at(at + 1) << 8 | file.at(at));
    EXPECT_EQ(file.at(at + 3), 0);
  }
  std::size_t stride = paddedRow(image.width, image.bitsPerPixel);
  image.rows.assign(static_cast<std::size_t>(height), "");
  for (int y = height - 1; y >= 0; --y, at += stride) {
    std::string& row = image.rows[static_cast<std::size_t>(y)];
    for (int x = 0; x < image.width; ++x) {
      int index = image.bitsPerPixel == 8 ? file.at(at + x) : (file.at(at + x / 2) >> (x % 2 == 0 ? 4 : 0)) & 15;
      char hex[3];
      std::snprintf(hex, sizeof hex, image.bitsPerPixel == 8 ? "%02X" : "%X", index);
      row += hex;
    }
    std::size_t used = static_cast<std::size_t>((image.width * image.bitsPerPixel + 7) / 8);
    for (std::size_t pad = used; pad < stride; ++pad) EXPECT_EQ(file.at(at + pad), 0) << "padding of row " << y;
  }
  if (withMask) {
    std::size_t maskStride = paddedRow(image.width, 1);
    image.maskRows.assign(static_cast<std::size_t>(height), "");
    for (int y = height - 1; y >= 0; --y, at += maskStride) {
      for (int x = 0; x < image.width; ++x)
        image.maskRows[static_cast<std::size_t>(y)] += (file.at(at + x / 8) & (0x80 >> (x % 8))) ? '1' : '0';
      for (int x = image.width; x < static_cast<int>(maskStride * 8); ++x)
        EXPECT_FALSE(file.at(at + x / 8) & (0x80 >> (x % 8))) << "mask padding of row " << y;
    }
  }
  image.end = at;
  return image;
}

class PixelartTest : public testing::Test {
 protected:
  Bytes convert(const std::string& art, bool icon) {
    std::filesystem::path input = scratch_.write("art.txt", art);
    std::filesystem::path output = scratch_.file(icon ? "art.ico" : "art.bmp");
    std::vector<std::string> arguments{input.string(), output.string()};
    if (icon) arguments.insert(arguments.begin(), "--icon");
    ToolResult result = runTool(kPixelartPath, arguments, scratch_);
    EXPECT_EQ(result.exitCode, 0) << result.errorOutput;
    EXPECT_EQ(result.errorOutput, "");
    return readBytes(output);
  }

  DecodedImage convertBitmap(const std::string& art) {
    Bytes file = convert(art, false);
    EXPECT_EQ(file.at(0), 'B');
    EXPECT_EQ(file.at(1), 'M');
    EXPECT_EQ(readLe32(file, 2), file.size()) << "file size";
    EXPECT_EQ(readLe32(file, 6), 0u) << "reserved";
    DecodedImage image = decodeImage(file, kFileHeaderSize, readLe32Signed(file, kFileHeaderSize + 8), false);
    EXPECT_EQ(readLe32(file, 10), kFileHeaderSize + kInfoHeaderSize + 4 * image.colourTable.size()) << "pixel offset";
    EXPECT_EQ(image.end, file.size());
    return image;
  }

  ScratchFolder scratch_;
};

const char kDriveArt[] =
    "# a small glyph\n"
    "size 5 3\n"
    "bits 4\n"
    "palette\n"
    ". 808000\n"
    "X 000000\n"
    "o FFFFFF\n"
    "r FF0000\n"
    "pixels\n"
    "X.o.r\n"
    "\n"
    "  oXr..  \n"
    "rrrrr\n";

TEST_F(PixelartTest, FourBitBitmapPacksLeftPixelInHighNibble) {
  Bytes file = convert(kDriveArt, false);
  // 5 pixels of 4 bits need 3 bytes, padded to 4; rows stored bottom-up.
  Bytes pixels(file.end() - 12, file.end());
  EXPECT_EQ(pixels, (Bytes{0x33, 0x33, 0x30, 0x00,  //
                           0x21, 0x30, 0x00, 0x00,  //
                           0x10, 0x20, 0x30, 0x00}));
}

TEST_F(PixelartTest, FourBitBitmapReadsBackAsTheArt) {
  DecodedImage image = convertBitmap(kDriveArt);
  EXPECT_EQ(image.width, 5);
  EXPECT_EQ(image.storedHeight, 3) << "positive height means bottom-up";
  EXPECT_EQ(image.bitsPerPixel, 4);
  EXPECT_EQ(image.coloursUsed, 16u);
  EXPECT_EQ(image.imageSize, 12u);
  ASSERT_EQ(image.colourTable.size(), 16u);
  EXPECT_EQ(image.colourTable[0], 0x808000u);
  EXPECT_EQ(image.colourTable[1], 0x000000u);
  EXPECT_EQ(image.colourTable[2], 0xFFFFFFu);
  EXPECT_EQ(image.colourTable[3], 0xFF0000u);
  for (std::size_t i = 4; i < 16; ++i) EXPECT_EQ(image.colourTable[i], 0u) << "unused entry " << i;
  EXPECT_EQ(image.rows, (std::vector<std::string>{"10203", "21300", "33333"}));
}

TEST_F(PixelartTest, EightBitBitmapPadsRowsToFourBytes) {
  std::string art = "size 6 2\nbits 8\npalette\na 010203\nb 0A0B0C\nc FEDCBA\npixels\nabcabc\ncccaaa\n";
  DecodedImage image = convertBitmap(art);
  EXPECT_EQ(image.width, 6);
  EXPECT_EQ(image.bitsPerPixel, 8);
  EXPECT_EQ(image.coloursUsed, 256u);
  EXPECT_EQ(image.imageSize, 16u);
  ASSERT_EQ(image.colourTable.size(), 256u);
  EXPECT_EQ(image.colourTable[2], 0xFEDCBAu);
  EXPECT_EQ(image.colourTable[255], 0u);
  EXPECT_EQ(image.rows, (std::vector<std::string>{"000102000102", "020202000000"}));
}

TEST_F(PixelartTest, IconHoldsColourImageAndTransparencyMask) {
  std::string art =
      "size 10 3\n"
      "bits 4\n"
      "palette\n"
      "  _ transparent\n"
      "  R C00000\n"
      "  W ffffff\n"
      "pixels\n"
      "__RRRRRR__\n"
      "_RWWWWWWR_\n"
      "RRRRRRRRR_\n";
  Bytes file = convert(art, true);
  EXPECT_EQ(readLe16(file, 0), 0);
  EXPECT_EQ(readLe16(file, 2), 1) << "icon type";
  EXPECT_EQ(readLe16(file, 4), 1) << "image count";
  EXPECT_EQ(file.at(6), 10) << "width";
  EXPECT_EQ(file.at(7), 3) << "height";
  EXPECT_EQ(file.at(8), 16) << "colour count";
  EXPECT_EQ(file.at(9), 0);
  EXPECT_EQ(readLe16(file, 10), 1) << "planes";
  EXPECT_EQ(readLe16(file, 12), 4) << "bit count";
  EXPECT_EQ(readLe32(file, 14), file.size() - kIconHeadersSize) << "bytes in resource";
  EXPECT_EQ(readLe32(file, 18), kIconHeadersSize) << "image offset";

  DecodedImage image = decodeImage(file, kIconHeadersSize, 3, true);
  EXPECT_EQ(image.width, 10);
  EXPECT_EQ(image.storedHeight, 6) << "colour image and mask together";
  std::size_t colourBytes = 8 * 3;  // 10 nibbles -> 5 bytes, padded to 8
  std::size_t maskBytes = 4 * 3;    // 10 bits -> 2 bytes, padded to 4
  EXPECT_EQ(image.imageSize, colourBytes + maskBytes);
  EXPECT_EQ(image.end, file.size());
  EXPECT_EQ(image.colourTable[0], 0xC00000u) << "transparent entries take no colour slot";
  EXPECT_EQ(image.colourTable[1], 0xFFFFFFu);
  EXPECT_EQ(image.rows, (std::vector<std::string>{"0000000000", "0011111100", "0000000000"}));
  EXPECT_EQ(image.maskRows, (std::vector<std::string>{"1100000011", "1000000001", "0000000001"}));
}

TEST_F(PixelartTest, EightBitIconDeclaresNoColourCount) {
  std::string art = "size 4 1\nbits 8\npalette\n. transparent\nk 000000\npixels\n.k.k\n";
  Bytes file = convert(art, true);
  EXPECT_EQ(file.at(8), 0);
  EXPECT_EQ(readLe16(file, 12), 8);
  DecodedImage image = decodeImage(file, kIconHeadersSize, 1, true);
  EXPECT_EQ(image.colourTable.size(), 256u);
  EXPECT_EQ(image.rows, std::vector<std::string>{"00000000"});
  EXPECT_EQ(image.maskRows, std::vector<std::string>{"1010"});
}

TEST_F(PixelartTest, IconSideOf256IsStoredAsZero) {
  std::string art = "size 256 1\nbits 4\npalette\nk 000000\npixels\n" + std::string(256, 'k') + "\n";
  Bytes file = convert(art, true);
  EXPECT_EQ(file.at(6), 0);
  EXPECT_EQ(file.at(7), 1);
  EXPECT_EQ(readLe32Signed(file, kIconHeadersSize + 4), 256);
}

TEST_F(PixelartTest, ApplicationIconConverts) {
  Bytes source = readBytes(std::filesystem::path(kProjectSourceDir) / "app" / "mainicon.txt");
  ASSERT_FALSE(source.empty());
  std::string art(source.begin(), source.end());
  Bytes file = convert(art, true);
  EXPECT_EQ(file.at(6), 48);
  EXPECT_EQ(file.at(7), 48);
  EXPECT_EQ(readLe16(file, 12), 8);
  DecodedImage image = decodeImage(file, kIconHeadersSize, 48, true);
  EXPECT_EQ(image.maskRows.front()[0], '1') << "corner is transparent";
  EXPECT_EQ(image.maskRows[24][24], '0') << "middle of the page is opaque";
}

struct BadArt {
  const char* label;
  bool icon;
  std::string text;
  std::string location;
  std::string message;
};

void PrintTo(const BadArt& bad, std::ostream* out) { *out << bad.label; }

class PixelartRejects : public testing::TestWithParam<BadArt> {
 protected:
  ScratchFolder scratch_;
};

TEST_P(PixelartRejects, WithLocatedMessageAndNoOutput) {
  const BadArt& bad = GetParam();
  std::filesystem::path input = scratch_.write("bad.txt", bad.text);
  std::filesystem::path output = scratch_.file("bad.out");
  std::vector<std::string> arguments{input.string(), output.string()};
  if (bad.icon) arguments.insert(arguments.begin(), "--icon");
  ToolResult result = runTool(kPixelartPath, arguments, scratch_);
  EXPECT_EQ(result.exitCode, 1);
  std::string expectedStart = input.string() + ":" + bad.location + ": ";
  EXPECT_EQ(result.errorOutput.substr(0, expectedStart.size()), expectedStart) << result.errorOutput;
  EXPECT_NE(result.errorOutput.find(bad.message), std::string::npos) << result.errorOutput;
  EXPECT_FALSE(std::filesystem::exists(output));
}

const std::string kHeader = "size 3 2\nbits 4\npalette\n. 000000\nX FFFFFF\npixels\n";  // pixel rows start at line 7

std::string seventeenColours() {
  std::string text = "size 1 1\nbits 4\npalette\n";
  for (int i = 0; i < 17; ++i) text += std::string(1, static_cast<char>('a' + i)) + " 000000\n";
  return text + "pixels\na\n";
}

INSTANTIATE_TEST_SUITE_P(
    Errors, PixelartRejects,
    testing::Values(
        BadArt{"UnknownCharacter", false, kHeader + "X.X\n.Q.\n", "8:2", "'Q' is not in the palette"},
        BadArt{"RowTooShort", false, kHeader + "X.X\n..\n", "8:1", "pixel row has 2 characters, expected 3"},
        BadArt{"RowTooLong", false, kHeader + "X.X.\n...\n", "7:1", "expected 3"},
        BadArt{"TooManyRows", false, kHeader + "X.X\n...\nXXX\n", "9:1", "more than 2 pixel rows"},
        BadArt{"TooFewRows", false, kHeader + "X.X\n", "7:1", "expected 2 pixel rows, found 1"},
        BadArt{"TooManyColours", false, seventeenColours(), "20:1", "too many colours"},
        BadArt{"MissingPixels", false, "size 1 1\nbits 4\npalette\n. 000000\n", "4:1", "missing 'pixels'"},
        BadArt{"MissingPalette", false, "size 1 1\nbits 4\n", "2:1", "missing 'palette'"},
        BadArt{"PaletteBeforeSize", false, "bits 4\npalette\n", "2:1", "missing 'size'"},
        BadArt{"UnsupportedDepth", false, "size 1 1\nbits 24\n", "2:1", "expected 'bits 4' or 'bits 8'"},
        BadArt{"BadSize", false, "size 0 1\n", "1:1", "expected 'size <width> <height>'"},
        BadArt{"BadColour", false, "size 1 1\nbits 4\npalette\n. 12345G\n", "4:3", "six hex digits"},
        BadArt{"DuplicatePaletteCharacter", false, "size 1 1\nbits 4\npalette\n. 000000\n. 111111\n", "5:1",
               "given twice"},
        BadArt{"TransparentInBitmap", false, "size 1 1\nbits 4\npalette\n. transparent\n", "4:3", "icons only"},
        BadArt{"IconTooLarge", true, "size 257 1\n", "1:1", "too large"},
        BadArt{"UnknownHeaderLine", false, "colours 4\n", "1:1", "expected 'size'"}),
    [](const testing::TestParamInfo<BadArt>& info) { return std::string(info.param.label); });

TEST(Pixelart, WrongArgumentsAreAnError) {
  ScratchFolder scratch;
  ToolResult result = runTool(kPixelartPath, {"--bitmap", "a.txt", "b.bmp"}, scratch);
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.errorOutput.find("usage"), std::string::npos);
}

}  // namespace

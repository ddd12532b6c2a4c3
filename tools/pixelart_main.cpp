// pixelart: converts readable pixel art to a .bmp file, or with --icon to a .ico file.
#include <iostream>
#include <string>

#include "tools/PixelArt.h"

int main(int argc, char** argv) {
  bool icon = argc == 4 && std::string(argv[1]) == "--icon";
  if (argc != 3 && !icon) {
    std::cerr << "usage: pixelart <input.txt> <output.bmp>\n"
                 "       pixelart --icon <input.txt> <output.ico>\n";
    return 1;
  }
  int first = icon ? 2 : 1;
  return runConversion(argv[first], argv[first + 1], [icon](std::string_view text) {
    PixelArt art = parsePixelArt(text, icon ? PixelArtTarget::Icon : PixelArtTarget::Bitmap);
    return icon ? encodeIcon(art) : encodeBitmap(art);
  });
}

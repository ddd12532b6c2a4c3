// Small PDF documents written by the tests themselves: pages with text in a standard font
// that is not embedded, a Type 3 font (always embedded), coloured drawings and an image.
#pragma once

#include <string>
#include <vector>

namespace testpdf {

struct Page {
  double width = 200, height = 100;
  std::string content;  // the page's content stream
  std::string annots;   // the entries of its /Annots array, if any
};

// A whole document; /F1 is Helvetica (not embedded), /F2 a Type 3 font whose glyph "a" is a
// filled square of its text size. Extra trailer entries go into the trailer dictionary.
std::string Document(const std::vector<Page> &pages, const std::string &extra_trailer = "");

// A document whose standard security handler wants a password that nobody knows.
std::string Encrypted();

}  // namespace testpdf

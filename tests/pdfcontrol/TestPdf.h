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
std::string Document(const std::vector<Page>& pages, const std::string& extra_trailer = "");

// The same with entries added to the catalog and objects after the pages': in a document of n
// pages, page i (from 0) is object PageObject(i) and the extra objects are numbered from
// FirstExtraObject(n) on.
std::string Document(const std::vector<Page>& pages, const std::string& extra_catalog,
                     const std::vector<std::string>& extra_objects);
constexpr int PageObject(int index) { return 7 + 2 * index; }
constexpr int FirstExtraObject(int pages) { return 6 + 2 * pages; }

// The same with /F1 (always object kFontObject) given as a font dictionary.
constexpr int kFontObject = 3;
std::string WithFont(const std::vector<Page>& pages, const std::string& font,
                     const std::vector<std::string>& extra_objects);

// A document whose standard security handler wants a password that nobody knows.
std::string Encrypted();

// A one-page document that opens without a password but whose permissions forbid printing
// (its owner password is "owner").
std::string PrintForbidden();

}  // namespace testpdf

// The messages between the viewer control and its rendering worker (PdfRender.exe), carried
// over the worker's standard input and output pipes. Every message is a header of two
// little-endian 32-bit words (code, payload size) and the payload. Platform-free.
#pragma once

#include <cstdint>

namespace pdfrender {

// Requests, from the control.
enum Request : uint32_t {
  kOpen = 1,    // payload: the path as UTF-16 code units, no terminator
  kRender = 2,  // payload: page number (from 1), width and height in pixels
  kQuit = 3,
};

// Answer codes, from the worker. kHello greets once at start-up.
enum Answer : uint32_t {
  kOk = 0,
  kHello = 0x52504646,  // "FFPR"
  kCannotOpen = 1,      // the file cannot be read
  kNotPdf = 2,          // no PDF structure in it
  kDamaged = 3,         // PDF, but damaged beyond reading
  kEncrypted = 4,       // needs a password
  kNoPages = 5,
  kBadRequest = 6,
  kRenderFailed = 7,
};

struct Header {
  uint32_t code;
  uint32_t size;
};

struct RenderRequest {
  uint32_t page;
  uint32_t width;
  uint32_t height;
};

// An opened document: the page count, then each page's width and height in points (1/72 inch)
// as displayed, rotation applied.
struct PageSize {
  float width;
  float height;
};

// A rendered page: width and height, then width * height pixels of 4 bytes (B, G, R, 255),
// rows top down.
struct BitmapHeader {
  uint32_t width;
  uint32_t height;
};

// Upper bounds that both sides enforce, so that neither trusts a size read from the pipe.
constexpr uint32_t kMaxPathUnits = 32768;
constexpr uint32_t kMaxPages = 100000;
constexpr uint32_t kMaxSide = 10000;
constexpr uint32_t kMaxPixels = 24'000'000;

}  // namespace pdfrender

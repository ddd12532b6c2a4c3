// The messages between the viewer control and its rendering worker (PdfRender.exe), carried
// over the worker's standard input and output pipes. Every message is a header of two
// little-endian 32-bit words (code, payload size) and the payload. Pixels do not travel through
// the pipe: the control hands the worker a shared memory section for each render. A new
// request gets a new code and one case in the worker's dispatch. Platform-free.
#pragma once

#include <cstdint>

namespace pdfrender {

// Requests, from the control.
enum Request : uint32_t {
  kOpen = 1,    // payload: an OpenRequest, then the path as UTF-16 code units, no terminator
  kRender = 2,  // payload: RenderRequest
  kQuit = 3,
  kText = 4,        // payload: page number (from 1); answer: a PageTextHeader and its records
  kFind = 5,        // payload: a FindRequest, then the text as UTF-16 code units
  kSizes = 6,       // payload: a SizesRequest; answer: PageSizes from its first page on
  kOutline = 7,     // answer: an OutlineHeader and its records
  kRenderPart = 8,  // payload: a PartRequest; answer as kRender
};

#ifdef FOLVANE_TEST_SEAMS
// Test builds only: what the worker holds of pages' text. Payload: nothing, or a 32-bit budget
// to hold it to from then on. Answer: two 32-bit words, the bytes held and the budget.
constexpr uint32_t kTextHeld = 100;
#endif

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
  kCancelled = 8,        // the render was given up on the control's cancel event
  kTooLarge = 9,         // the page's text is over the bounds below
  kRepaired = 10,        // opened from a repaired copy: payload as kOk
  kEncryptionLost = 11,  // encrypted, and damaged where its key was kept
  kBeyondRepair = 12,    // damaged, and too large for repair's bounds
};

struct Header {
  uint32_t code;
  uint32_t size;
};

// `section` is the worker's handle to a memory section of at least width * height * 4 bytes,
// made by the control and duplicated into the worker, which writes the page there and closes
// the handle whatever the answer.
struct RenderRequest {
  uint32_t page;  // from 1
  uint32_t width;
  uint32_t height;
  uint32_t section;
};

// How the view will ask for the first page once the document is open, so that the worker
// draws it right after its answer, while the control lays its view out, and answers the
// control's request for it from that drawing. Both sides place the page with PageLayout:
// pages fitted to viewWidth pixels, then zoomed. A request of another page or size, another
// request first, or the cancel event drops the drawing. viewWidth 0: nothing is drawn ahead.
struct OpenRequest {
  uint32_t viewWidth;
  float zoom;
};

// An opened document: the page count, the count of sizes that follow (at least 1), then the
// first pages' width and height in points (1/72 inch) as displayed, rotation applied. The
// worker answers as soon as it has the first, not after reading every page; the rest are asked
// for with kSizes.
struct PageSize {
  float width;
  float height;
};

// The sizes of at least one and at most count pages from first (from 1) on: as many as the
// worker reads in a short time.
struct SizesRequest {
  uint32_t first;
  uint32_t count;
};

// The answer to kRender: the size written to the section, always the size asked for, as
// width * height pixels of 4 bytes (B, G, R, 255), rows top down.
struct BitmapHeader {
  uint32_t width;
  uint32_t height;
};

// A page's text in reading order and its links, in points from the page's top left corner
// as displayed. The header is followed by glyphCount GlyphRecords, then linkCount
// LinkRecords, each followed by its address's UTF-16 code units.
struct PageTextHeader {
  uint32_t glyphCount;
  uint32_t linkCount;
};

enum GlyphFlags : uint32_t {
  kSpaceAfter = 1,
  kLineEnd = 2,
};

struct GlyphRecord {
  float x0, y0, x1, y1;
  uint32_t code;  // a UTF-16 code unit; characters beyond the basic plane take two records
  uint32_t flags;
};

struct LinkRecord {
  float x0, y0, x1, y1;
  uint32_t targetPage;  // from 1; 0 for an address or no target
  float targetY;        // points from the target page's top, or negative for its top
  uint32_t addressUnits;
};

// A part of a page drawn at a size of its own, turned by quarter turns clockwise over its own
// /Rotate: the whole page for a turned view, a band of it for a printer. The band is the
// request's width and height, at (left, top) of the page's pageWidth x pageHeight pixels.
struct PartRequest {
  RenderRequest band;
  uint32_t quarterTurns;  // 0 to 3
  uint32_t pageWidth, pageHeight;
  uint32_t left, top;
};

// The document's outline, its entries in reading order (each after its parent), and whether
// the document lets itself be printed. Each OutlineRecord is followed by its title's UTF-16
// code units. A damaged outline answers the entries read before the damage.
struct OutlineHeader {
  uint32_t entryCount;
  uint32_t mayPrint;  // 0 or 1
};

struct OutlineRecord {
  uint32_t depth;       // 0 for a top entry, at most one more than the entry before
  uint32_t targetPage;  // from 1; 0 for none
  float targetY;        // points from the target page's top as displayed, or negative for its top
  uint32_t open;        // 0 or 1: shown expanded at first
  uint32_t titleUnits;
};

// Looks for the text through at most count pages from startPage (from 1) on, forward or
// backward, wrapping at the ends, and answers after a match, after count pages, or once
// budgetMs have gone by after a page, whichever comes first, so that a search of any length
// goes in short steps that the control can report, cancel and resume. Answer: a FindAnswer,
// then, with a match, that page's text as kText gives it.
struct FindRequest {
  uint32_t startPage;
  uint32_t count;
  uint32_t forward;
  uint32_t budgetMs;
};

struct FindAnswer {
  uint32_t page;      // with a match, from 1; 0 for none
  uint32_t searched;  // pages looked at, the match's page included
  uint32_t tooLarge;  // of them, pages passed over for text over the bounds below
};

// The worker's command line carries, after its path, the decimal value of an inherited event
// handle that the control sets to cancel the render in progress.

// Upper bounds that both sides enforce, so that neither trusts a size read from the pipe. The
// control lives in a 32-bit host beside the program: an answer over a bound is refused, not
// held. What the control may hold of one page's text is its answer (kMaxTextPayload) and the
// page text made from it (at most about 40 bytes a glyph, 4 MB); of a document's text, 16 MB
// (ReaderTools::kTextBudget), the worker 32 MB (WorkerText.cpp). Page sizes are finite, at
// least 1 point and at most kMaxPagePoints; rectangles finite and within kMaxCoordinate; a
// link's target page 0 or an existing page.
// Pixels never travel through the pipe: one page is at most kMaxPixels (96 MB) in its section,
// and the viewer window keeps 64 MB of rendered pages besides those in view (ViewerWindow.h).
constexpr uint32_t kMaxPathUnits = 32768;
constexpr uint32_t kMaxPages = 100000;
constexpr float kMaxPagePoints = 100000;
constexpr float kMaxCoordinate = 1e7f;
constexpr uint32_t kMaxSide = 10000;
constexpr uint32_t kMaxPixels = 24'000'000;
constexpr uint32_t kMaxGlyphs = 100'000;        // per page
constexpr uint32_t kMaxLinks = 2'000;           // per page
constexpr uint32_t kMaxAddressUnits = 4096;     // per link
constexpr uint32_t kMaxTextPayload = 4u << 20;  // per answer
// An outline answer is one kMaxTextPayload at most, whatever these allow.
constexpr uint32_t kMaxOutlineDepth = 32;
constexpr uint32_t kMaxOutlineEntries = 10'000;
constexpr uint32_t kMaxOutlineTitleUnits = 256;
// A page drawn in parts (printing) is at most this many pixels a side.
constexpr uint32_t kMaxPartPageSide = 60'000;

// Whether a page size can be laid out and rendered.
constexpr bool ValidPageSize(const PageSize& page) {
  return page.width >= 1 && page.height >= 1 && page.width <= kMaxPagePoints && page.height <= kMaxPagePoints;
}

}  // namespace pdfrender

// PdfRender.exe: the control's rendering worker. It holds one Poppler document and renders its
// pages with Splash on request (RenderProtocol.h). It runs in a process of its own so that a
// file that crashes or hangs Poppler takes down only the worker, which the control restarts.
// Non-embedded standard fonts are mapped to the metric-compatible fonts copied beside it.
#include "pdfcontrol/DocumentRepair.h"
#include "pdfcontrol/PageLayout.h"
#include "pdfcontrol/RenderProtocol.h"
#include "pdfcontrol/WorkerFile.h"
#include "pdfcontrol/WorkerOutline.h"
#include "pdfcontrol/WorkerText.h"

#include <windows.h>

#include <GlobalParams.h>
#include <PDFDoc.h>
#include <Page.h>
#include <SplashOutputDev.h>
#include <splash/SplashBitmap.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

using namespace pdfrender;

namespace {

HANDLE inPipe;
HANDLE outPipe;
// Set by the control when it no longer wants the page being drawn (another document came).
HANDLE cancelEvent;

bool Cancelled(void*) { return cancelEvent && WaitForSingleObject(cancelEvent, 0) == WAIT_OBJECT_0; }

// Poppler asks every few drawing operations whether to stop. Each look at the event is a round
// trip to the Wine server (half a millisecond when the machine is busy), so the event is
// looked at once every few milliseconds of drawing, counted from the start of each drawing.
constexpr DWORD kCancelLookMs = 8;
DWORD lastCancelLook;
bool CancelledLately(void*) {
  const DWORD now = GetTickCount();
  if (now - lastCancelLook < kCancelLookMs) return false;
  lastCancelLook = now;
  return Cancelled(nullptr);
}

bool ReadAll(void* data, uint32_t size) {
  auto* p = static_cast<char*>(data);
  while (size > 0) {
    DWORD got = 0;
    if (!ReadFile(inPipe, p, size, &got, nullptr) || got == 0) return false;
    p += got;
    size -= got;
  }
  return true;
}

bool WriteAll(const void* data, uint32_t size) {
  auto* p = static_cast<const char*>(data);
  while (size > 0) {
    DWORD put = 0;
    if (!WriteFile(outPipe, p, size, &put, nullptr) || put == 0) return false;
    p += put;
    size -= put;
  }
  return true;
}

bool Reply(uint32_t code, const void* payload = nullptr, uint32_t size = 0) {
  Header h{code, size};
  return WriteAll(&h, sizeof h) && (size == 0 || WriteAll(payload, size));
}

// The base 14 names and the usual aliases of the same faces. The sans, serif and monospaced
// faces are Liberation (TrueType, metric-compatible with Helvetica/Arial, Times/Times New
// Roman and Courier/Courier New); Symbol and ZapfDingbats come from URW's base 35.
struct FontFace {
  const char* file;
  const char* names;  // separated by spaces
};

constexpr FontFace kFontFaces[] = {
    {"LiberationSans-Regular.ttf", "Helvetica Arial ArialMT Arial,Regular Helvetica,Regular"},
    {"LiberationSans-Bold.ttf", "Helvetica-Bold Arial-Bold Arial,Bold Arial-BoldMT Helvetica,Bold"},
    {"LiberationSans-Italic.ttf",
     "Helvetica-Oblique Helvetica-Italic Arial-Italic Arial,Italic Arial-ItalicMT Helvetica,Italic"},
    {"LiberationSans-BoldItalic.ttf",
     "Helvetica-BoldOblique Helvetica-BoldItalic Arial-BoldItalic Arial,BoldItalic "
     "Arial-BoldItalicMT Helvetica,BoldItalic"},
    {"LiberationSerif-Regular.ttf",
     "Times-Roman Times TimesNewRoman TimesNewRomanPS TimesNewRomanPSMT TimesNewRoman,Regular"},
    {"LiberationSerif-Bold.ttf",
     "Times-Bold TimesNewRoman-Bold TimesNewRoman,Bold TimesNewRomanPS-Bold TimesNewRomanPS-BoldMT"},
    {"LiberationSerif-Italic.ttf",
     "Times-Italic TimesNewRoman-Italic TimesNewRoman,Italic TimesNewRomanPS-Italic "
     "TimesNewRomanPS-ItalicMT"},
    {"LiberationSerif-BoldItalic.ttf",
     "Times-BoldItalic TimesNewRoman-BoldItalic TimesNewRoman,BoldItalic "
     "TimesNewRomanPS-BoldItalic TimesNewRomanPS-BoldItalicMT"},
    {"LiberationMono-Regular.ttf", "Courier CourierNew CourierNewPSMT Courier,Regular"},
    {"LiberationMono-Bold.ttf", "Courier-Bold CourierNew-Bold CourierNew,Bold CourierNewPS-BoldMT Courier,Bold"},
    {"LiberationMono-Italic.ttf",
     "Courier-Oblique Courier-Italic CourierNew-Italic CourierNew,Italic CourierNewPS-ItalicMT Courier,Italic"},
    {"LiberationMono-BoldItalic.ttf",
     "Courier-BoldOblique Courier-BoldItalic CourierNew-BoldItalic CourierNew,BoldItalic "
     "CourierNewPS-BoldItalicMT Courier,BoldItalic"},
    {"StandardSymbolsPS.t1", "Symbol Symbol,Bold Symbol,Italic Symbol,BoldItalic"},
    {"D050000L.t1", "ZapfDingbats Dingbats"},
};

// The fonts folder beside the worker becomes its current directory, and each font is named to
// Poppler by its bare ASCII file name. Poppler reads an 8-bit path as UTF-8 and FreeType as the
// code page: a folder name from a profile that the code page cannot hold, with short names off,
// reaches neither, so it never passes through them. Documents come with whole paths.
bool EnterFontFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
    if (n == 0) return false;
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    if (path.size() >= kMaxPathUnits) return false;
    path.resize(path.size() * 2);
  }
  path.erase(path.find_last_of(L'\\') + 1);
  return SetCurrentDirectoryW((path + L"fonts").c_str());
}

void RegisterFonts() {
  if (!EnterFontFolder()) return;
  for (const FontFace& face : kFontFaces) {
    if (GetFileAttributesA(face.file) == INVALID_FILE_ATTRIBUTES) continue;
    const GooString path(face.file);
    std::string names = face.names;
    size_t start = 0;
    while (start < names.size()) {
      size_t end = names.find(' ', start);
      if (end == std::string::npos) end = names.size();
      const GooString name(names.substr(start, end - start));
      globalParams->addFontFile(&name, &path);
      start = end + 1;
    }
  }
}

// Poppler reads the system's font list (registry and Windows font folder) at its first font
// lookup: tens of milliseconds of server round trips when the machine is busy. Done while the
// worker waits for its first document, so that the first page does not pay for it.
void WarmUp() { delete globalParams->findFontFile("Helvetica"); }

// What the document reads: its file (a small one read on demand, WorkerFile.h), or its repaired
// copy; both released after the document.
std::shared_ptr<pdfworker::FileBytes> documentFile;
std::vector<char> documentBytes;
std::unique_ptr<PDFDoc> document;
// One for every document: it keeps the fonts read from files outside a document (the
// substitutes beside the worker, the system's), glyphs and all, for the next one.
std::unique_ptr<SplashOutputDev> output;
std::wstring documentPath;
// Whether a page that the page tree does not give is still to be repaired: true for a document
// opened from its file until repair has been tried once.
bool repairDue = false;

// Files up to this size are read by the worker, as Poppler asks and then whole (WorkerFile.h);
// larger ones by Poppler itself. The held bytes count against the worker's memory beside the
// repair's bounds (DocumentRepair.h).
constexpr uint64_t kMaxHeldFileBytes = uint64_t(64) << 20;

// A PDF file has its "%PDF-" marker within the first kilobyte.
bool HasHeader(const char* start, size_t size) {
  for (size_t i = 0; i + 5 <= std::min<size_t>(size, 1024); ++i) {
    if (std::memcmp(start + i, "%PDF-", 5) == 0) return true;
  }
  return false;
}

// Opens the file once for its header and its bytes: a file small enough to hold stays open in
// documentFile, to be read as the document needs it; of a larger one only the first kilobyte
// is read here. Answers kOk, kCannotOpen or kNotPdf.
uint32_t ReadStart(const wchar_t* path) {
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return kCannotOpen;
  LARGE_INTEGER size{};
  if (GetFileSizeEx(file, &size) && size.QuadPart > 0 && uint64_t(size.QuadPart) <= kMaxHeldFileBytes) {
    documentFile = pdfworker::FileBytes::Take(file, size_t(size.QuadPart));
    const size_t head = std::min<size_t>(1024, size_t(size.QuadPart));
    if (!documentFile || documentFile->Readable(0) < head) {
      documentFile.reset();
      return kCannotOpen;
    }
    if (HasHeader(documentFile->Data(), head)) return kOk;
    documentFile.reset();
    return kNotPdf;
  }
  char head[1024];
  DWORD got = 0;
  const bool read = ReadFile(file, head, sizeof head, &got, nullptr);
  CloseHandle(file);
  if (!read) return kCannotOpen;
  return HasHeader(head, got) ? kOk : kNotPdf;
}

std::unique_ptr<PDFDoc> OpenFile(const std::wstring& path) {
  if (!documentFile) return std::make_unique<PDFDoc>(const_cast<wchar_t*>(path.c_str()), int(path.size()));
  return std::make_unique<PDFDoc>(pdfworker::NewFileStream(documentFile));
}

// Replaces doc with the file's repaired copy, when repair makes one; `answer` as OpenRepaired.
bool Repair(std::unique_ptr<PDFDoc>& doc, uint32_t& answer) {
  repairDue = false;
  std::vector<char> bytes;
  std::unique_ptr<PDFDoc> fixed = pdfworker::OpenRepaired(documentPath, bytes, answer);
  if (!fixed || uint32_t(fixed->getNumPages()) > kMaxPages) return false;
  doc = std::move(fixed);  // the old document goes before the bytes it reads
  documentFile.reset();
  documentBytes = std::move(bytes);
  return true;
}

// Sizes from page first (from 1) on, at least one and at most count, as many as are read in
// a short time. A page that the page tree does not give, which is how Poppler meets a tree
// that lost pages, ends the run with `lost` set while repair is due, and has the usual size
// otherwise. Reading sizes is what walks the tree: the first page is drawn before it.
std::vector<PageSize> Sizes(PDFDoc& doc, uint32_t first, uint32_t count, bool& lost) {
  constexpr DWORD kSizesMs = 30;
  const DWORD started = GetTickCount();
  std::vector<PageSize> sizes;
  const uint32_t last = first - 1 + std::min<uint32_t>(count, uint32_t(doc.getNumPages()) - first + 1);
  for (uint32_t i = first; i <= last; ++i) {
    PageSize size{612, 792};
    if (Page* page = doc.getPage(int(i))) {
      size = {float(page->getCropWidth()), float(page->getCropHeight())};
      if (page->getRotate() % 180 != 0) std::swap(size.width, size.height);
      if (!ValidPageSize(size)) size = {612, 792};
    } else if (repairDue) {
      lost = true;
      return {};
    }
    sizes.push_back(size);
    if (GetTickCount() - started > kSizesMs) break;
  }
  return sizes;
}

// The answer to an open: the page count and the first page's size, so that it is drawn at
// once; the rest are asked for.
bool ReplyOpened(uint32_t code) {
  const uint32_t count = uint32_t(document->getNumPages());
  bool lost = false;
  const std::vector<PageSize> sizes = Sizes(*document, 1, 1, lost);
  std::vector<char> payload(8 + sizes.size() * sizeof(PageSize));
  const uint32_t words[2] = {count, uint32_t(sizes.size())};
  std::memcpy(payload.data(), words, 8);
  std::memcpy(payload.data() + 8, sizes.data(), sizes.size() * sizeof(PageSize));
  return Reply(code, payload.data(), uint32_t(payload.size()));
}

// The first page drawn right after an open (OpenRequest), kept for the request that asks for
// it at that size; any other request drops it.
struct AheadPage {
  uint32_t page = 0, width = 0, height = 0;
  std::unique_ptr<SplashBitmap> bitmap;
};
AheadPage ahead;

// Draws a page (from 1) whole at width x height pixels into output's bitmap, asking `stop` now
// and then whether to give up. kOk, or the answer that says why there is nothing to show.
uint32_t Draw(int page, uint32_t width, uint32_t height, bool (*stop)(void*)) {
  double w = document->getPageCropWidth(page), h = document->getPageCropHeight(page);
  if (document->getPageRotate(page) % 180 != 0) std::swap(w, h);
  if (!(w >= 1 && h >= 1)) return kRenderFailed;
  // Drawn without its contents, a page would look blank but whole.
  if (pdfworker::PageObjectsMissing(*document, *document->getPage(page))) return kRenderFailed;
  // Resolutions chosen so that the page comes out at the asked size in pixels.
  const double hdpi = width * 72.0 / w, vdpi = height * 72.0 / h;
  lastCancelLook = GetTickCount();
  document->displayPage(output.get(), page, hdpi, vdpi, 0, false, true, false, stop);
  if (Cancelled(nullptr)) return kCancelled;
  SplashBitmap* bitmap = output->getBitmap();
  if (!bitmap || bitmap->getWidth() < 1 || bitmap->getHeight() < 1) return kRenderFailed;
  return kOk;
}

// True once a request waits that the page drawn ahead does not answer.
bool OtherRequestWaits() {
  struct {
    Header header;
    RenderRequest render;
  } next{};
  DWORD got = 0;
  if (!PeekNamedPipe(inPipe, &next, sizeof next, &got, nullptr, nullptr) || got < sizeof next.header) return false;
  if (next.header.code != kRender) return true;
  return got == sizeof next &&
         (next.render.page != ahead.page || next.render.width != ahead.width || next.render.height != ahead.height);
}

// Whether to give up drawing ahead: the cancel event, or another request waiting. Looked at as
// seldom as the cancel event alone, each look being a round trip to the Wine server.
bool aheadStopped = false;
bool StopAhead(void*) {
  const DWORD now = GetTickCount();
  if (aheadStopped || now - lastCancelLook < kCancelLookMs) return aheadStopped;
  lastCancelLook = now;
  aheadStopped = Cancelled(nullptr) || OtherRequestWaits();
  return aheadStopped;
}

// Draws the first page as the view will ask for it, placed by the same layout as the view's.
void DrawAhead(const OpenRequest& view) {
  constexpr uint32_t kMaxViewWidth = 1 << 16;
  if (view.viewWidth == 0 || view.viewWidth > kMaxViewWidth || !(view.zoom >= pdfview::PageLayout::kMinZoom) ||
      !(view.zoom <= pdfview::PageLayout::kMaxZoom)) {
    return;
  }
  bool lost = false;
  const std::vector<PageSize> first = Sizes(*document, 1, 1, lost);
  if (first.empty()) return;
  pdfview::PageLayout layout;
  layout.SetPages({{first[0].width, first[0].height}}, document->getNumPages());
  layout.Arrange(int(view.viewWidth), view.zoom);
  const pdfview::PageBox box = layout.Box(0);
  ahead.page = 1;
  ahead.width = uint32_t(box.width);
  ahead.height = uint32_t(box.height);
  if (ahead.width > kMaxSide || ahead.height > kMaxSide || uint64_t(ahead.width) * ahead.height > kMaxPixels) return;
  aheadStopped = false;
  if (Draw(1, ahead.width, ahead.height, &StopAhead) == kOk && !aheadStopped) {
    ahead.bitmap.reset(output->takeBitmap());
  }
}

bool Open(uint32_t size) {
  OpenRequest view{};
  if (size < sizeof view || !ReadAll(&view, sizeof view)) return false;
  size -= sizeof view;
  if (size % 2 != 0 || size / 2 > kMaxPathUnits) return false;
  std::vector<wchar_t> path(size / 2 + 1, 0);
  if (!ReadAll(path.data(), size)) return false;
  document.reset();
  documentFile.reset();
  std::vector<char>().swap(documentBytes);
  pdfworker::ForgetText();
  switch (ReadStart(path.data())) {
    case kOk:
      break;
    case kCannotOpen:
      return Reply(kCannotOpen);
    default:
      return Reply(kNotPdf);
  }
  documentPath.assign(path.data(), size / 2);
  repairDue = true;
  std::unique_ptr<PDFDoc> doc = OpenFile(documentPath);
  // What Poppler cannot read is repaired in memory; the file is only read.
  bool repaired = false;
  if (pdfworker::NeedsRepair(*doc)) {
    const bool usable = doc->isOk() && doc->getNumPages() > 0;
    uint32_t answer = doc->isOk() ? kNoPages : kDamaged;
    repaired = Repair(doc, answer);
    if (!repaired && !usable) return Reply(answer);
  }
  if (!doc->isOk()) {
    switch (doc->getErrorCode()) {
      case errOpenFile:
        return Reply(kCannotOpen);
      case errEncrypted:
        return Reply(kEncrypted);
      default:
        return Reply(kDamaged);
    }
  }
  const int count = doc->getNumPages();
  if (count <= 0) return Reply(kNoPages);
  if (uint32_t(count) > kMaxPages) return Reply(kDamaged);
  // A first page that the tree loses is repaired now; a later one when the sizes reach it.
  bool lost = false;
  Sizes(*doc, 1, 1, lost);
  if (lost) {
    uint32_t answer = 0;
    repaired = Repair(doc, answer);
  }
  document = std::move(doc);
  if (!output) {
    SplashColor paper = {255, 255, 255, 0};
    output = std::make_unique<SplashOutputDev>(splashModeXBGR8, 4, false, paper);
  }
  output->startDoc(document.get());
  if (!ReplyOpened(repaired ? kRepaired : kOk)) return false;
  DrawAhead(view);
  return true;
}

// The section that a render request hands over, closed when the request is answered.
class Section {
 public:
  explicit Section(uint32_t handle) : handle_(reinterpret_cast<HANDLE>(uintptr_t(handle))) {}
  ~Section() {
    if (view_) UnmapViewOfFile(view_);
    if (handle_) CloseHandle(handle_);
  }
  Section(const Section&) = delete;
  Section& operator=(const Section&) = delete;
  // Fails for a section smaller than asked.
  uint32_t* Map(size_t bytes) {
    if (handle_) view_ = MapViewOfFile(handle_, FILE_MAP_WRITE, 0, 0, bytes);
    return static_cast<uint32_t*>(view_);
  }

 private:
  HANDLE handle_;
  void* view_ = nullptr;
};

// Rounding may leave the bitmap a pixel off the asked size: the answer is always that size,
// clipped or padded with paper.
void CopyOut(SplashBitmap& bitmap, const RenderRequest& request, uint32_t* pixels) {
  const uint32_t width = std::min<uint32_t>(request.width, bitmap.getWidth());
  const uint32_t height = std::min<uint32_t>(request.height, bitmap.getHeight());
  const auto* data = bitmap.getDataPtr();
  for (uint32_t y = 0; y < request.height; ++y) {
    uint32_t* row = pixels + size_t(y) * request.width;
    uint32_t x = 0;
    if (y < height) {
      std::memcpy(row, data + size_t(y) * bitmap.getRowSize(), size_t(width) * 4);
      x = width;
    }
    std::fill(row + x, row + request.width, 0xFFFFFFFFu);
  }
}

bool Render(uint32_t size) {
  RenderRequest request{};
  if (size != sizeof request || !ReadAll(&request, sizeof request)) return false;
  Section section(request.section);
  const AheadPage drawn = std::exchange(ahead, AheadPage{});
  if (!document || request.page < 1 || request.page > uint32_t(document->getNumPages()) || request.width < 1 ||
      request.height < 1 || request.width > kMaxSide || request.height > kMaxSide ||
      uint64_t(request.width) * request.height > kMaxPixels) {
    return Reply(kBadRequest);
  }
  uint32_t* pixels = section.Map(size_t(request.width) * request.height * 4);
  if (!pixels) return Reply(kBadRequest);
  if (drawn.bitmap && drawn.page == request.page && drawn.width == request.width && drawn.height == request.height) {
    CopyOut(*drawn.bitmap, request, pixels);
  } else {
    if (const uint32_t drawnNow = Draw(int(request.page), request.width, request.height, &CancelledLately);
        drawnNow != kOk) {
      return Reply(drawnNow);
    }
    CopyOut(*output->getBitmap(), request, pixels);
  }
  const BitmapHeader out{request.width, request.height};
  return Reply(kOk, &out, sizeof out);
}

bool RenderPart(uint32_t size) {
  PartRequest request{};
  if (size != sizeof request || !ReadAll(&request, sizeof request)) return false;
  const RenderRequest& band = request.band;
  Section section(band.section);
  if (!document || band.page < 1 || band.page > uint32_t(document->getNumPages()) || band.width < 1 ||
      band.height < 1 || band.width > kMaxSide || band.height > kMaxSide ||
      uint64_t(band.width) * band.height > kMaxPixels || request.quarterTurns > 3 ||
      request.pageWidth > kMaxPartPageSide || request.pageHeight > kMaxPartPageSide ||
      uint64_t(request.left) + band.width > request.pageWidth ||
      uint64_t(request.top) + band.height > request.pageHeight) {
    return Reply(kBadRequest);
  }
  uint32_t* pixels = section.Map(size_t(band.width) * band.height * 4);
  if (!pixels) return Reply(kBadRequest);
  const int page = int(band.page);
  double w = document->getPageCropWidth(page), h = document->getPageCropHeight(page);
  if ((document->getPageRotate(page) / 90 + request.quarterTurns) % 2 != 0) std::swap(w, h);
  if (!(w >= 1 && h >= 1)) return Reply(kRenderFailed);
  if (pdfworker::PageObjectsMissing(*document, *document->getPage(page))) return Reply(kRenderFailed);
  const double hdpi = request.pageWidth * 72.0 / w, vdpi = request.pageHeight * 72.0 / h;
  lastCancelLook = GetTickCount();
  document->displayPageSlice(output.get(), page, hdpi, vdpi, int(request.quarterTurns) * 90, false, true, false,
                             int(request.left), int(request.top), int(band.width), int(band.height), &CancelledLately);
  if (Cancelled(nullptr)) return Reply(kCancelled);
  SplashBitmap* bitmap = output->getBitmap();
  if (!bitmap || bitmap->getWidth() < 1 || bitmap->getHeight() < 1) return Reply(kRenderFailed);
  CopyOut(*bitmap, band, pixels);
  const BitmapHeader out{band.width, band.height};
  return Reply(kOk, &out, sizeof out);
}

bool OutlineOf(uint32_t size) {
  if (size != 0) return false;
  if (!document) return Reply(kBadRequest);
  const std::vector<char> outline = pdfworker::EncodedOutline(*document);
  return Reply(kOk, outline.data(), uint32_t(outline.size()));
}

bool Text(uint32_t size) {
  uint32_t page = 0;
  if (size != sizeof page || !ReadAll(&page, sizeof page)) return false;
  if (!document || page < 1 || page > uint32_t(document->getNumPages())) return Reply(kBadRequest);
  std::vector<char> text;
  if (!pdfworker::EncodedText(*document, int(page), text)) return Reply(kTooLarge);
  return Reply(kOk, text.data(), uint32_t(text.size()));
}

bool SizesOf(uint32_t size) {
  SizesRequest request{};
  if (size != sizeof request || !ReadAll(&request, sizeof request)) return false;
  if (!document || request.first < 1 || request.first > uint32_t(document->getNumPages()) || request.count < 1) {
    return Reply(kBadRequest);
  }
  bool lost = false;
  std::vector<PageSize> sizes = Sizes(*document, request.first, request.count, lost);
  if (lost) {
    // The document the control shows gives way to its repaired copy, answered as an open.
    uint32_t answer = 0;
    if (Repair(document, answer)) {
      pdfworker::ForgetText();
      output->startDoc(document.get());
      return ReplyOpened(kRepaired);
    }
    sizes = Sizes(*document, request.first, request.count, lost);
  }
  return Reply(kOk, sizes.data(), uint32_t(sizes.size() * sizeof(PageSize)));
}

bool Find(uint32_t size) {
  FindRequest request{};
  if (size < sizeof request || (size - sizeof request) % 2 != 0 || (size - sizeof request) / 2 > kMaxPathUnits ||
      !ReadAll(&request, sizeof request)) {
    return false;
  }
  std::wstring text((size - sizeof request) / 2, L'\0');
  if (!text.empty() && !ReadAll(text.data(), uint32_t(text.size() * 2))) return false;
  if (!document || request.startPage < 1 || request.startPage > uint32_t(document->getNumPages())) {
    return Reply(kBadRequest);
  }
  const FindAnswer found = pdfworker::FindPage(*document, request, text);
  std::vector<char> answer(sizeof found);
  std::memcpy(answer.data(), &found, sizeof found);
  if (found.page != 0) {
    std::vector<char> encoded;
    if (!pdfworker::EncodedText(*document, int(found.page), encoded)) return Reply(kTooLarge);
    answer.insert(answer.end(), encoded.begin(), encoded.end());
  }
  if (answer.size() > kMaxTextPayload) return Reply(kTooLarge);
  return Reply(kOk, answer.data(), uint32_t(answer.size()));
}

#ifdef FOLVANE_TEST_SEAMS
bool TextHeld(uint32_t size) {
  uint32_t budget = 0;
  if (size != 0 && (size != sizeof budget || !ReadAll(&budget, sizeof budget))) return false;
  pdfview::TextCache& held = pdfworker::HeldText();
  if (budget != 0) held.SetBudget(budget);
  const uint32_t words[2] = {uint32_t(held.Bytes()), uint32_t(held.Budget())};
  return Reply(kOk, words, sizeof words);
}
#endif

}  // namespace

int main() {
  inPipe = GetStdHandle(STD_INPUT_HANDLE);
  outPipe = GetStdHandle(STD_OUTPUT_HANDLE);
  // The control passes its cancel event's handle, inherited, as the only argument.
  const char* arguments = std::strrchr(GetCommandLineA(), ' ');
  if (arguments) cancelEvent = reinterpret_cast<HANDLE>(uintptr_t(std::strtoul(arguments + 1, nullptr, 10)));
  // No error boxes from a worker that nobody sees.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  globalParams = std::make_unique<GlobalParams>();
  globalParams->setErrQuiet(true);
  RegisterFonts();
  if (!Reply(kHello)) return 1;
  WarmUp();
  for (;;) {
    Header request{};
    if (!ReadAll(&request, sizeof request)) return 0;
    if (request.code != kRender) ahead = AheadPage{};
    bool ok = false;
    switch (request.code) {
      case kOpen:
        ok = Open(request.size);
        break;
      case kRender:
        ok = Render(request.size);
        break;
      case kText:
        ok = Text(request.size);
        break;
      case kFind:
        ok = Find(request.size);
        break;
      case kSizes:
        ok = SizesOf(request.size);
        break;
      case kOutline:
        ok = OutlineOf(request.size);
        break;
      case kRenderPart:
        ok = RenderPart(request.size);
        break;
#ifdef FOLVANE_TEST_SEAMS
      case kTextHeld:
        ok = TextHeld(request.size);
        break;
#endif
      case kQuit:
        return 0;
      default:
        ok = false;
    }
    if (!ok) return 2;  // a broken conversation: the control restarts the worker
    // The file is held only for the document shown. Once the first page has been answered (or
    // something the control wanted more), the rest of it is read and the file let go.
    if (!document) documentFile.reset();
    if (request.code != kOpen && documentFile) documentFile->ReadRest();
  }
}

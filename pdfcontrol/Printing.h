// Printing a document's pages: each page drawn by the worker at the printer's resolution, in
// bands that keep within the renderer's and the host's memory, and sent to a printer's device
// context, with a window that tells the progress and can cancel.
#pragma once

#include "pdfcontrol/RendererClient.h"

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace pdfview {

struct PrintJob {
  uint32_t generation = 0;
  std::vector<int> pages;                      // from 0, in the order printed, copies included
  std::vector<std::pair<float, float>> sizes;  // each page's points as it displays itself
  std::wstring title;
};

// The most pixels of one band sent to a printer (32 MB): a letter page at 600 dpi goes in five.
constexpr uint32_t kPrintBandPixels = 8'000'000;
// The most sheets one job prints, copies included.
constexpr int kMaxPrintSheets = 100'000;

// Prints the job on the printer; the reason when it failed, empty when it printed or the user
// cancelled it (cancelled tells which).
std::wstring PrintPages(HWND owner, HDC printer, RendererClient& renderer, const PrintJob& job, bool& cancelled);

// The progress text for the nth sheet (from 1) of count.
std::wstring PrintProgress(int nth, int count);

}  // namespace pdfview

// Where each page of a document stands in the viewer: all pages in one column, fitted to the
// window's width and then zoomed, with a margin around and a gap between them. Positions are
// in document pixels (0, 0 is the top left corner of the scrolled area). Platform-free.
#pragma once

#include <utility>
#include <vector>

namespace pdfview {

struct PageBox {
  int x = 0, y = 0, width = 0, height = 0;
};

class PageLayout {
 public:
  static constexpr int kMargin = 8;
  static constexpr int kGap = 8;
  // Zoom is relative to fitting the width; what it shows is bounded in percent (100 % is a
  // point at 96 pixels per inch), and by what the renderer takes of one page.
  static constexpr double kMinZoom = 1.0 / 64;
  static constexpr double kMaxZoom = 64.0;
  static constexpr int kMinPercent = 10;
  static constexpr int kMaxPercent = 1600;

  // Page sizes in points, as displayed: the first `sizes` of `count` pages, the others assumed
  // like the last one known until they arrive.
  void SetPages(std::vector<std::pair<float, float>> sizes, int count = -1);
  // Sizes that arrived, from page `first` on; the pages after them still unknown are assumed
  // like the last of them. Arrange follows.
  void SetSizes(int first, const std::vector<std::pair<float, float>>& sizes);
  int KnownPages() const { return known_; }
  // Every page turned a quarter: widths and heights change places. Arrange follows.
  void SwapSides();
  // zoom 1 fits the widest page to the client width.
  void Arrange(int clientWidth, double zoom);

  int PageCount() const { return int(sizes_.size()); }
  // A page's size in points, as laid out.
  std::pair<float, float> Size(int index) const { return sizes_[index]; }
  const PageBox& Box(int index) const { return boxes_[index]; }
  int DocumentWidth() const { return width_; }
  int DocumentHeight() const { return height_; }
  double PixelsPerPoint() const { return pixelsPerPoint_; }
  // The scale that fits the widest page to the width, whatever the zoom.
  double FitWidthPixelsPerPoint() const { return fitWidth_; }
  // The zoom as shown, in whole percent.
  int Percent() const;
  // The zoom that shows the percent (as near as the bounds allow), and the one that fits a
  // page whole into the client height; both for the width last arranged.
  double ZoomForPercent(double percent) const;
  double ZoomToFitPage(int index, int clientHeight) const;
  // Pages that meet the rows [top, top + height): first index and one past the last.
  std::pair<int, int> VisibleRange(int top, int height) const;
  // The page under a document row (the one above, in a gap).
  int PageAt(int y) const;
  // A row as its page and how far down that page (as a share of its height, a gap counted to
  // the page above), and back: what keeps the page at the top in place when the layout changes.
  std::pair<int, double> PlaceOf(int y) const;
  int RowOf(std::pair<int, double> place) const;

 private:
  std::vector<std::pair<float, float>> sizes_;
  std::vector<PageBox> boxes_;
  int width_ = 0, height_ = 0;
  double pixelsPerPoint_ = 1;
  double fitWidth_ = 1;
  int known_ = 0;
};

// A page of width x height pixels cut into bands of at most maxSide a side and maxPixels
// each, top to bottom and left to right, that cover it exactly once.
PageBox BandOf(int index, int width, int height, int maxSide, int maxPixels);
int BandCount(int width, int height, int maxSide, int maxPixels);

// A point of a page w x h points (from its top left as the page displays itself) where it lands
// on the page turned by quarter turns clockwise, and back.
std::pair<double, double> Turned(int quarterTurns, double w, double h, double x, double y);
std::pair<double, double> Unturned(int quarterTurns, double w, double h, double x, double y);

}  // namespace pdfview

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
  static constexpr double kMinZoom = 0.25;
  static constexpr double kMaxZoom = 8.0;

  // Page sizes in points, as displayed.
  void SetPages(std::vector<std::pair<float, float>> sizes);
  // zoom 1 fits the widest page to the client width.
  void Arrange(int client_width, double zoom);

  int PageCount() const { return int(sizes_.size()); }
  const PageBox &Box(int index) const { return boxes_[index]; }
  int DocumentWidth() const { return width_; }
  int DocumentHeight() const { return height_; }
  double PixelsPerPoint() const { return pixels_per_point_; }
  // Pages that meet the rows [top, top + height): first index and one past the last.
  std::pair<int, int> VisibleRange(int top, int height) const;
  // The page under a document row (the one above, in a gap).
  int PageAt(int y) const;

 private:
  std::vector<std::pair<float, float>> sizes_;
  std::vector<PageBox> boxes_;
  int width_ = 0, height_ = 0;
  double pixels_per_point_ = 1;
};

}  // namespace pdfview

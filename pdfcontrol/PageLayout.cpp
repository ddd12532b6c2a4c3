// Page placement for the viewer window (see PageLayout.h).
#include "PageLayout.h"

#include "RenderProtocol.h"

#include <algorithm>
#include <cmath>

namespace pdfview {

void PageLayout::SetPages(std::vector<std::pair<float, float>> sizes) {
  sizes_ = std::move(sizes);
  boxes_.assign(sizes_.size(), PageBox{});
  width_ = height_ = 0;
}

void PageLayout::Arrange(int client_width, double zoom) {
  float widest = 1;
  for (const auto &[w, h] : sizes_) widest = std::max(widest, w);
  const int room = std::max(client_width - 2 * kMargin, 16);
  double ppp = room / double(widest) * std::clamp(zoom, kMinZoom, kMaxZoom);
  // No page larger than the renderer accepts, however far the user zooms.
  for (const auto &[w, h] : sizes_) {
    ppp = std::min(ppp, (pdfrender::kMaxSide - 1) / double(std::max(w, h)));
    ppp = std::min(ppp, std::sqrt(pdfrender::kMaxPixels * 0.95 / (double(w) * h)));
  }
  pixels_per_point_ = ppp;
  int widest_box = 0;
  for (size_t i = 0; i < sizes_.size(); ++i) {
    boxes_[i].width = std::max(1, int(std::lround(sizes_[i].first * ppp)));
    boxes_[i].height = std::max(1, int(std::lround(sizes_[i].second * ppp)));
    widest_box = std::max(widest_box, boxes_[i].width);
  }
  const int content = std::max(room, widest_box);
  int y = kMargin;
  for (PageBox &box : boxes_) {
    box.x = kMargin + (content - box.width) / 2;
    box.y = y;
    y += box.height + kGap;
  }
  width_ = content + 2 * kMargin;
  height_ = boxes_.empty() ? 0 : y - kGap + kMargin;
}

std::pair<int, int> PageLayout::VisibleRange(int top, int height) const {
  const int bottom = top + height;
  auto first = std::lower_bound(boxes_.begin(), boxes_.end(), top,
                                [](const PageBox &b, int row) { return b.y + b.height <= row; });
  auto last = std::lower_bound(first, boxes_.end(), bottom,
                               [](const PageBox &b, int row) { return b.y < row; });
  return {int(first - boxes_.begin()), int(last - boxes_.begin())};
}

int PageLayout::PageAt(int y) const {
  auto it = std::upper_bound(boxes_.begin(), boxes_.end(), y,
                             [](int row, const PageBox &b) { return row < b.y; });
  return it == boxes_.begin() ? 0 : int(it - boxes_.begin()) - 1;
}

}  // namespace pdfview

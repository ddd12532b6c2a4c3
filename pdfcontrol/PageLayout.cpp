// Page placement for the viewer window (see PageLayout.h).
#include "pdfcontrol/PageLayout.h"

#include "pdfcontrol/RenderProtocol.h"

#include <algorithm>
#include <cmath>

namespace pdfview {

namespace {

// Percent shown per pixel per point: 100 % draws a point as 96/72 pixels.
constexpr double kPercentPerPixel = 100 * 72 / 96.0;

}  // namespace

void PageLayout::SetPages(std::vector<std::pair<float, float>> sizes, int count) {
  known_ = int(sizes.size());
  sizes_ = std::move(sizes);
  if (count > known_ && known_ > 0) sizes_.resize(size_t(count), sizes_.back());
  boxes_.assign(sizes_.size(), PageBox{});
  width_ = height_ = 0;
}

void PageLayout::SetSizes(int first, const std::vector<std::pair<float, float>>& sizes) {
  if (first < 0 || first > known_ || first + int(sizes.size()) > PageCount() || sizes.empty()) return;
  std::copy(sizes.begin(), sizes.end(), sizes_.begin() + first);
  known_ = std::max(known_, first + int(sizes.size()));
  std::fill(sizes_.begin() + known_, sizes_.end(), sizes.back());
}

void PageLayout::SwapSides() {
  for (auto& [w, h] : sizes_) std::swap(w, h);
}

void PageLayout::Arrange(int clientWidth, double zoom) {
  float widest = 1;
  for (const auto& [w, h] : sizes_) widest = std::max(widest, w);
  const int room = std::max(clientWidth - 2 * kMargin, 16);
  fitWidth_ = room / double(widest);
  double ppp = std::clamp(fitWidth_ * zoom, kMinPercent / kPercentPerPixel, kMaxPercent / kPercentPerPixel);
  // No page larger than the renderer accepts, however far the user zooms.
  for (const auto& [w, h] : sizes_) {
    ppp = std::min(ppp, (pdfrender::kMaxSide - 1) / double(std::max(w, h)));
    ppp = std::min(ppp, std::sqrt(pdfrender::kMaxPixels * 0.95 / (double(w) * h)));
  }
  pixelsPerPoint_ = ppp;
  int widestBox = 0;
  for (size_t i = 0; i < sizes_.size(); ++i) {
    boxes_[i].width = std::max(1, int(std::lround(sizes_[i].first * ppp)));
    boxes_[i].height = std::max(1, int(std::lround(sizes_[i].second * ppp)));
    widestBox = std::max(widestBox, boxes_[i].width);
  }
  const int content = std::max(room, widestBox);
  int y = kMargin;
  for (PageBox& box : boxes_) {
    box.x = kMargin + (content - box.width) / 2;
    box.y = y;
    y += box.height + kGap;
  }
  width_ = content + 2 * kMargin;
  height_ = boxes_.empty() ? 0 : y - kGap + kMargin;
}

int PageLayout::Percent() const { return int(std::lround(pixelsPerPoint_ * kPercentPerPixel)); }

double PageLayout::ZoomForPercent(double percent) const {
  return std::clamp(percent, double(kMinPercent), double(kMaxPercent)) / kPercentPerPixel / fitWidth_;
}

double PageLayout::ZoomToFitPage(int index, int clientHeight) const {
  if (index < 0 || index >= PageCount()) return 1;
  const double room = std::max(clientHeight - 2 * kMargin, 16);
  return std::min(1.0, room / (sizes_[size_t(index)].second * fitWidth_));
}

std::pair<int, double> PageLayout::PlaceOf(int y) const {
  if (boxes_.empty()) return {0, 0};
  const int page = PageAt(y);
  const PageBox& box = boxes_[size_t(page)];
  return {page, double(y - box.y) / std::max(1, box.height)};
}

int PageLayout::RowOf(std::pair<int, double> place) const {
  if (boxes_.empty()) return 0;
  const PageBox& box = boxes_[size_t(std::clamp(place.first, 0, PageCount() - 1))];
  return box.y + int(std::lround(place.second * box.height));
}

std::pair<int, int> PageLayout::VisibleRange(int top, int height) const {
  const int bottom = top + height;
  auto first = std::lower_bound(boxes_.begin(), boxes_.end(), top,
                                [](const PageBox& b, int row) { return b.y + b.height <= row; });
  auto last = std::lower_bound(first, boxes_.end(), bottom, [](const PageBox& b, int row) { return b.y < row; });
  return {int(first - boxes_.begin()), int(last - boxes_.begin())};
}

int PageLayout::PageAt(int y) const {
  auto it = std::upper_bound(boxes_.begin(), boxes_.end(), y, [](int row, const PageBox& b) { return row < b.y; });
  return it == boxes_.begin() ? 0 : int(it - boxes_.begin()) - 1;
}

namespace {

// The band's size: as wide as may be, then as high as the pixels allow.
std::pair<int, int> BandSize(int width, int height, int maxSide, int maxPixels) {
  const int bandWidth = std::max(1, std::min({width, maxSide, maxPixels}));
  const int bandHeight = std::max(1, std::min({height, maxSide, maxPixels / bandWidth}));
  return {bandWidth, bandHeight};
}

}  // namespace

int BandCount(int width, int height, int maxSide, int maxPixels) {
  const auto [w, h] = BandSize(width, height, maxSide, maxPixels);
  return ((width + w - 1) / w) * ((height + h - 1) / h);
}

PageBox BandOf(int index, int width, int height, int maxSide, int maxPixels) {
  const auto [w, h] = BandSize(width, height, maxSide, maxPixels);
  const int across = (width + w - 1) / w;
  const int left = index % across * w, top = index / across * h;
  return PageBox{left, top, std::min(w, width - left), std::min(h, height - top)};
}

std::pair<double, double> Turned(int quarterTurns, double w, double h, double x, double y) {
  switch (quarterTurns & 3) {
    case 1:
      return {h - y, x};
    case 2:
      return {w - x, h - y};
    case 3:
      return {y, w - x};
    default:
      return {x, y};
  }
}

std::pair<double, double> Unturned(int quarterTurns, double w, double h, double x, double y) {
  switch (quarterTurns & 3) {
    case 1:
      return {y, h - x};
    case 2:
      return {w - x, h - y};
    case 3:
      return {w - y, x};
    default:
      return {x, y};
  }
}

}  // namespace pdfview

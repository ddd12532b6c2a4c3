// A form with a splitter panel and its panes for the splitter tests, a panel in design mode,
// and readers of what the platform shows: pane window rectangles and panel pixels.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "framework/Forms.h"
#include "splitter/lmdsplt.h"

class SplitterTest : public testing::Test {
 protected:
  void SetUp() override {
    form_ = new TForm(Application);
    form_->SetBounds(0, 0, 520, 660);
    form_->HandleNeeded();
    panel_ = new TLMDSplitterPanel(form_);
    panel_->SetParent(form_);
  }
  void TearDown() override { TObject::Free(form_); }

  // A panel of the given size with `count` attached panes.
  void Build(int width, int height, int count) {
    panel_->SetBounds(0, 0, width, height);
    for (int i = 0; i < count; ++i) AddPane();
  }
  TLMDSplitterPane* AddPane() {
    auto* pane = new TLMDSplitterPane(form_);
    pane->SetSplitter(panel_);
    panes_.push_back(pane);
    return pane;
  }
  TLMDSplitterBarItem& Bar(int i) { return *panel_->Bars().Items(i); }

  // Where the platform has the pane's window, in the panel's client coordinates.
  RECT PaneWindowRect(TLMDSplitterPane* pane) {
    RECT r;
    GetWindowRect(pane->Handle(), &r);
    MapWindowPoints(HWND_DESKTOP, panel_->Handle(), reinterpret_cast<POINT*>(&r), 2);
    return r;
  }
  // The colour shown at a point of the panel's client area.
  COLORREF PanelPixel(int x, int y) {
    HDC dc = GetDC(panel_->Handle());
    COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(panel_->Handle(), dc);
    return c;
  }

  TForm* form_ = nullptr;
  TLMDSplitterPanel* panel_ = nullptr;
  std::vector<TLMDSplitterPane*> panes_;
};

// A panel as the form designer has it.
class TDesignedSplitterPanel : public TLMDSplitterPanel {
 public:
  using TComponent::SetDesigning;
  using TLMDSplitterPanel::TLMDSplitterPanel;
};

inline bool operator==(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
inline std::ostream& operator<<(std::ostream& out, const RECT& r) {
  return out << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}

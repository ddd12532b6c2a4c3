// What the viewer control's tests add to the container that they share with the benchmarks
// (ControlContainer.h): the fixture that hosts the control for each test, and pointer and
// tooltip helpers that move the real pointer.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/support/ControlContainer.h"

namespace testhost {

// How a fixture's tests start: OLE always; a host window of this client size, unless it is 0;
// the control made in it when `control`; the host brought to the front for tests that type or
// click.
struct HostShape {
  int width = 0, height = 0;
  bool control = false, foreground = false;
};

// Starts OLE and makes the host and the control as the shape says; after each test takes them
// down in reverse: the control, its site, the host window, OLE.
class ControlTest : public testing::Test {
 protected:
  explicit ControlTest(HostShape shape = {}) : shape_(shape) {}
  void SetUp() override;
  void TearDown() override;
  // Runs once OLE is started and before the host is made.
  virtual void BeforeHost() {}
  // A host window of this client size with the control activated in it, 10 pixels in from
  // each edge, brought to the front: for tests that choose the size themselves.
  void MakeControl(int width, int height) { MakeHost(width, height, true, true); }
  // Another control in the host, for a test that holds it and its site itself.
  void Create(Control& control, Site& site);
  // Opens a document in the control made with the host and waits until it is shown.
  void Open(const std::wstring& path);

  HWND host_ = nullptr;
  RECT bounds_{};  // the control's place in the host
  std::unique_ptr<Site> site_;
  std::unique_ptr<Control> control_ = std::make_unique<Control>();
  IDispatch* d_ = nullptr;  // the control made with the host

 private:
  void MakeHost(int width, int height, bool control, bool foreground);
  HostShape shape_;
};

// Moves the pointer there; under load a move may land late or be nudged past, so it is
// waited for and made again.
bool PointAt(POINT target);
POINT OnScreen(HWND window, int x, int y);
// The text of the control's tooltip while it shows one.
std::wstring ShownTip();
// The automation find: true when found (and the match shown).
bool Find(IDispatch* control, const std::wstring& text, bool forward = true);
// A window's text, such as the find note's or the page box's.
std::wstring TextOf(HWND window);

}  // namespace testhost

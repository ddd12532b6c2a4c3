// What the viewer control's tests add to the container that they share with the benchmarks
// (ControlContainer.h): pointer and tooltip helpers that move the real pointer.
#pragma once

#include "tests/support/ControlContainer.h"

namespace testhost {

// Moves the pointer there; under load a move may land late or be nudged past, so it is
// waited for and made again.
bool PointAt(POINT target);
POINT OnScreen(HWND window, int x, int y);
// The text of the control's tooltip while it shows one.
std::wstring ShownTip();

}  // namespace testhost

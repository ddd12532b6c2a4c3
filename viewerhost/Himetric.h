// The control's HIMETRIC units against the screen's pixels, for the host and its site.
#pragma once

#include "framework/Application.h"

constexpr int kHimetricPerInch = 2540;

inline int PixelsPerInch() { return Screen ? Screen->PixelsPerInch() : 96; }

#pragma once
#include <windows.h>

#include "winui/DpiScale.h"

// Sizes and places of the window's dialogs. Their layouts are written in
// pixels at 96 dots per inch, as the Qt window's are; the program declares
// itself aware of each monitor's resolution, so Windows leaves the scaling to
// it.

// The resolution of the monitor `window` is on (96 where Windows cannot say).
int WindowDpi(HWND window);
// Sizes `window` so that its client area is width x height of the 96-dpi layout.
void SetClientSize(HWND window, int width, int height, int dpi);
// Where a window of the outer size width x height goes to stand centred over
// `owner`, or over the primary monitor's work area without one; kept inside
// that monitor's work area.
POINT CentredPlace(HWND owner, int width, int height);

#pragma once
#include <windows.h>

#include "wizard/FrameLayout.h"

// Device pixels for the window's 96-dots-per-inch geometry on a monitor of
// `nDpi`: the layout rules work in the one, Windows draws in the other.
struct TDpiScale {
    int nDpi = 96;

    int operator()(int logical) const { return MulDiv(logical, nDpi, 96); }
    RECT Device(const TRect& r) const { return {(*this)(r.x), (*this)(r.y), (*this)(r.Right()), (*this)(r.Bottom())}; }
    int Logical(int device) const { return MulDiv(device, 96, nDpi); }
};

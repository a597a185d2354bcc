#pragma once
// GDI+'s headers need the COM declarations that WIN32_LEAN_AND_MEAN leaves
// out, and Windows' min and max, which NOMINMAX leaves out.
#include <windows.h>
#include <objidl.h>

#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>

#include "winui/WinDialogGeometry.h"

#include <algorithm>

int WindowDpi(HWND window) {
    const UINT dpi = window ? GetDpiForWindow(window) : 0;
    return dpi ? static_cast<int>(dpi) : 96;
}

// The frame is taken as the window has it now rather than computed for `dpi`:
// Windows draws it at the resolution it gives the window, which is `dpi` for a
// program aware of each monitor's and stays 96 for one that is not.
void SetClientSize(HWND window, int width, int height, int dpi) {
    const TDpiScale scale{dpi};
    RECT outer{};
    RECT client{};
    GetWindowRect(window, &outer);
    GetClientRect(window, &client);
    const int frameWidth = outer.right - outer.left - client.right;
    const int frameHeight = outer.bottom - outer.top - client.bottom;
    SetWindowPos(window, nullptr, 0, 0, scale(width) + frameWidth, scale(height) + frameHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

POINT CentredPlace(HWND owner, int width, int height) {
    HMONITOR monitor = owner ? MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST)
                             : MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    GetMonitorInfoW(monitor, &info);
    RECT over = info.rcWork;
    if (owner) GetWindowRect(owner, &over);
    const RECT& area = info.rcWork;
    POINT place{over.left + (over.right - over.left - width) / 2, over.top + (over.bottom - over.top - height) / 2};
    // A dialog half off the screen cannot be moved back by its caption.
    place.x = std::max(area.left, std::min(place.x, area.right - width));
    place.y = std::max(area.top, std::min(place.y, area.bottom - height));
    return place;
}

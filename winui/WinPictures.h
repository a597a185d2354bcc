#pragma once
#include <windows.h>
#include "winui/GdiPlus.h"

#include <memory>

#include "winui/DpiScale.h"
#include "wizard/FrameLayout.h"
#include "wizard/Look.h"

using TPicture = std::shared_ptr<Gdiplus::Bitmap>;

// The window's pictures, read once from the program's resources (the same PNG
// files as the Qt window's); the frames share them.
struct TWinPictures {
    TPicture pngBackground;
    TPicture pngLines;
    TPicture pngLogoInstall;
    TPicture pngLogoProgress;
    TPicture pngAlert;
    TPicture pngClose;
    TPicture pngCloseOver;
    TPicture pngCloseClick;

    // Throws std::runtime_error naming the resource that is missing or not a
    // PNG. GDI+ must be running.
    static TWinPictures Load();
    // One picture from a raw-data resource.
    static TPicture LoadResource(const wchar_t* name);
};

// Picture helpers in the window's 96-dpi geometry.
class TPictureDrawing {
public:
    static TRect Size(const Gdiplus::Bitmap& picture);
    // Centred in `box`, scaled down proportionally when larger than it (a
    // picture control's rule), then drawn at the monitor's scale.
    static void Draw(HDC dc, Gdiplus::Bitmap& picture, const TRect& box, const TDpiScale& scale);
    // The colour at a point of the picture, `outside` beyond its edges.
    static TRgb Pixel(Gdiplus::Bitmap& picture, int x, int y, TRgb outside);
};

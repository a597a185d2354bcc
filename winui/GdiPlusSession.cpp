#include "winui/GdiPlusSession.h"

#include "winui/GdiPlus.h"

#include <stdexcept>

TGdiPlusSession::TGdiPlusSession() {
    Gdiplus::GdiplusStartupInput input;
    if (Gdiplus::GdiplusStartup(&m_Token, &input, nullptr) != Gdiplus::Ok)
        throw std::runtime_error("GDI+ cannot start");
}

TGdiPlusSession::~TGdiPlusSession() { Gdiplus::GdiplusShutdown(m_Token); }

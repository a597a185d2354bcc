#pragma once
#include <windows.h>

// GDI+ for the life of the window: it decodes the PNG pictures and draws them
// smoothly, with their transparency.
class TGdiPlusSession {
public:
    TGdiPlusSession();
    ~TGdiPlusSession();
    TGdiPlusSession(const TGdiPlusSession&) = delete;
    TGdiPlusSession& operator=(const TGdiPlusSession&) = delete;

private:
    ULONG_PTR m_Token = 0;
};

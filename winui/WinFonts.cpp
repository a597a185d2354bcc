#include "winui/WinFonts.h"

#include <cstring>
#include <stdexcept>
#include <string>

namespace {

const wchar_t* const kStandInFamily = L"DejaVu Sans Condensed";
const wchar_t* const kStandInResources[] = {L"fntStandIn", L"fntStandInBold"};

int CALLBACK FoundFamily(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

void AddResourceFont(const wchar_t* name) {
    HRSRC resource = FindResourceW(nullptr, name, MAKEINTRESOURCEW(10));  // RT_RCDATA
    HGLOBAL data = resource ? LoadResource(nullptr, resource) : nullptr;
    void* bytes = data ? LockResource(data) : nullptr;
    if (!bytes) throw std::runtime_error("the program's stand-in font is missing");
    DWORD added = 0;
    if (!AddFontMemResourceEx(bytes, SizeofResource(nullptr, resource), nullptr, &added) || added == 0)
        throw std::runtime_error("the program's stand-in font cannot be loaded");
}

}  // namespace

void TWinFonts::LoadStandIns() {
    static bool loaded = false;
    if (loaded) return;
    loaded = true;
    if (Installed(L"Segoe UI")) return;
    for (const wchar_t* name : kStandInResources) AddResourceFont(name);
}

bool TWinFonts::Installed(const wchar_t* family) {
    LOGFONTW wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    wcsncpy(wanted.lfFaceName, family, LF_FACESIZE - 1);
    bool found = false;
    HDC dc = GetDC(nullptr);
    EnumFontFamiliesExW(dc, &wanted, FoundFamily, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, dc);
    return found;
}

// "Segoe UI Semibold" is a family of its own on Windows; elsewhere the regular
// family at the semibold weight, as the Qt window asks for it.
const wchar_t* TWinFonts::Family(const char* face, int& weight) {
    static const bool bSegoe = Installed(L"Segoe UI");
    static const bool bSegoeSemibold = Installed(L"Segoe UI Semibold");
    static const bool bTahoma = Installed(L"Tahoma");
    const std::string wanted = face;
    const bool semibold = wanted == "Segoe UI Semibold";
    weight = semibold ? FW_SEMIBOLD : FW_NORMAL;
    if (semibold && bSegoeSemibold) return L"Segoe UI Semibold";
    if ((semibold || wanted == "Segoe UI") && bSegoe) return L"Segoe UI";
    if (wanted == "Tahoma" && bTahoma) return L"Tahoma";
    return kStandInFamily;
}

HFONT TWinFonts::Create(const TFontRequest& font, int dpi) {
    int weight = FW_NORMAL;
    const wchar_t* family = Family(font.face, weight);
    if (font.bBold) weight = FW_BOLD;
    return CreateFontW(-MulDiv(font.nPixelHeight, dpi, 96), 0, 0, 0, weight, FALSE, font.bUnderline ? TRUE : FALSE,
                       FALSE, DEFAULT_CHARSET, OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                       DEFAULT_PITCH | FF_SWISS, family);
}

TGdiFont& TGdiFont::operator=(TGdiFont&& other) noexcept {
    if (this != &other) {
        if (m_hFont) DeleteObject(m_hFont);
        m_hFont = other.m_hFont;
        other.m_hFont = nullptr;
    }
    return *this;
}

TGdiFont::~TGdiFont() {
    if (m_hFont) DeleteObject(m_hFont);
}

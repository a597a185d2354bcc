#include "winui/WinInternetConfig.h"

#include <commctrl.h>  // system header: SetWindowSubclass for the port boxes

#include <algorithm>
#include <stdexcept>

#include "base/Texts.h"
#include "platform/windows/WideString.h"
#include "winui/WinDialogGeometry.h"
#include "winui/WinText.h"

namespace {

const wchar_t* const kClassName = L"TInternetConfig";
constexpr int nClientWidth = 555;
constexpr int nClientHeight = 299;
// The group box's children are placed relative to its top-left corner, as the
// Qt dialog places them; on Windows they are the dialog's children.
constexpr int nBoxLeft = 16;
constexpr int nBoxTop = 14;
// A left edge that follows the language (ProxyRightEditLeft).
constexpr int nRightEdit = -1;
// A label takes the size of its text.
constexpr int nTextSize = 0;

enum TKind { kRadio, kCheck, kLabel, kEdit, kPort, kPassword, kButton, kDefaultButton, kGroupBox };

struct TControlRow {
    const char* strName;
    TKind nKind;
    bool bInBox;
    int nLeft, nTop, nWidth, nHeight;
    TProxyTextKey nText;  // unused for the boxes one types into
    int nId;
};

using P = TProxyTextKey;

// In tab order.
constexpr TControlRow kControls[] = {
    {"RadioNoProxy", kRadio, true, 32, 24, 161, 17, P::RadioNoProxy, 101},
    {"RadioProxyIE", kRadio, true, 32, 47, 281, 17, P::RadioProxyIE, 102},
    {"RadioProxyConfig", kRadio, true, 32, 70, 177, 17, P::RadioProxyConfig, 103},
    {"lblEndProxy", kLabel, true, 64, 98, nTextSize, nTextSize, P::lblEndProxy, 104},
    {"EdtProxyIP", kEdit, true, 120, 95, 185, 21, P::Count, 105},
    {"lblPortProxy", kLabel, true, 328, 98, nTextSize, nTextSize, P::lblPortProxy, 106},
    {"EdtProxyPort", kPort, true, nRightEdit, 95, 73, 21, P::Count, 107},
    {"RadioProxySOCKSConfig", kRadio, true, 32, 124, 177, 17, P::RadioProxySOCKSConfig, 108},
    {"lblEndSocks", kLabel, true, 64, 150, nTextSize, nTextSize, P::lblEndSocks, 109},
    {"EdtProxySOCKs", kEdit, true, 120, 147, 185, 21, P::Count, 110},
    {"lblPortSocks", kLabel, true, 328, 150, nTextSize, nTextSize, P::lblPortSocks, 111},
    {"EdtSOCKsPort", kPort, true, nRightEdit, 147, 73, 21, P::Count, 112},
    {"chkAutenticacao", kCheck, true, 32, 176, 177, 17, P::chkAutenticacao, 113},
    {"lblUserName", kLabel, true, 64, 202, nTextSize, nTextSize, P::lblUserName, 114},
    {"edtUserName", kEdit, true, 120, 197, 185, 21, P::Count, 115},
    {"lblSenha", kLabel, true, 328, 202, nTextSize, nTextSize, P::lblSenha, 116},
    {"edtSenha", kPassword, true, nRightEdit, 199, 121, 21, P::Count, 117},
    {"btnOK", kDefaultButton, false, 383, 263, 75, 25, P::btnOK, IDOK},
    {"btnCancel", kButton, false, 464, 263, 75, 25, P::btnCancel, IDCANCEL},
    {"GroupBox1", kGroupBox, false, nBoxLeft, nBoxTop, 529, 235, P::GroupBox1, 100},
};

constexpr const char* kRadios[] = {"RadioNoProxy", "RadioProxyIE", "RadioProxyConfig", "RadioProxySOCKSConfig"};

const TControlRow& RowOf(const char* name) {
    for (const TControlRow& row : kControls)
        if (std::string_view(row.strName) == name) return row;
    throw std::out_of_range("TWinInternetConfig: no such control");
}

// Window class and styles of each kind. Every control clips its siblings, so
// the group box below them cannot paint over them.
void KindStyle(TKind kind, const wchar_t*& className, DWORD& style, DWORD& exStyle) {
    className = L"BUTTON";
    exStyle = 0;
    style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
    switch (kind) {
        case kRadio:
            style |= BS_AUTORADIOBUTTON | WS_TABSTOP;
            break;
        case kCheck:
            style |= BS_AUTOCHECKBOX | WS_TABSTOP | WS_GROUP;
            break;
        case kLabel:
            className = L"STATIC";
            style |= SS_LEFT | SS_NOPREFIX;
            break;
        case kEdit:
        case kPort:
        case kPassword:
            className = L"EDIT";
            exStyle = WS_EX_CLIENTEDGE;
            style |=
                WS_TABSTOP | ES_AUTOHSCROLL | (kind == kPort ? ES_NUMBER : 0) | (kind == kPassword ? ES_PASSWORD : 0);
            break;
        case kButton:
            style |= BS_PUSHBUTTON | WS_TABSTOP;
            break;
        case kDefaultButton:
            style |= BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP;
            break;
        case kGroupBox:
            style |= BS_GROUPBOX;
            break;
    }
}

// The port boxes take digits only. ES_NUMBER refuses typed letters but lets a
// paste through; a paste with anything but digits is refused whole, as the Qt
// dialog's validator does.
LRESULT CALLBACK PortBoxProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (message == WM_PASTE) {
        std::wstring text;
        if (OpenClipboard(hWnd)) {
            if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
                if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
                    text = chars;
                    GlobalUnlock(data);
                }
            }
            CloseClipboard();
        }
        if (!std::all_of(text.begin(), text.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; })) {
            MessageBeep(MB_OK);
            return 0;
        }
    }
    return DefSubclassProc(hWnd, message, wParam, lParam);
}

HWND NewControl(HWND dialog, const TControlRow& row) {
    const wchar_t* className = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    KindStyle(row.nKind, className, style, exStyle);
    if (row.strName == kRadios[0]) style |= WS_GROUP;
    HWND control =
        CreateWindowExW(exStyle, className, L"", style, 0, 0, 0, 0, dialog,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(row.nId)), GetModuleHandleW(nullptr), nullptr);
    if (!control) throw std::runtime_error("an Internet settings control");
    if (row.nKind == kPort) SetWindowSubclass(control, PortBoxProc, 0, 0);
    if (row.nKind == kPassword) SendMessageW(control, EM_SETPASSWORDCHAR, 0x25CF, 0);
    return control;
}

SIZE TextSize(HWND hWnd, HFONT font) {
    const std::wstring text = TWinText::WindowText(hWnd);
    RECT bounds{0, 0, 0, 0};
    HDC dc = GetDC(hWnd);
    HGDIOBJ old = SelectObject(dc, font);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &bounds, DT_CALCRECT | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(hWnd, dc);
    return {bounds.right - bounds.left, bounds.bottom - bounds.top};
}

}  // namespace

TWinInternetConfig::TWinInternetConfig() {
    CreateDialogWindow(kClassName, L"", WS_POPUP | WS_CAPTION | WS_SYSMENU,
                       WS_EX_DLGMODALFRAME | WS_EX_TOPMOST | WS_EX_CONTROLPARENT, nClientWidth, nClientHeight);
    CreateControls();
    SendMessageW(Control("RadioNoProxy"), BM_SETCHECK, BST_CHECKED, 0);
    SendMessageW(m_hWnd, DM_SETDEFID, IDOK, 0);
    ApplyLanguage();
    ApplyEnabling();
    Layout(WindowDpi(m_hWnd));
}

// Controls are stacked as in the Qt dialog: a box lies above its label, so a
// label too long for its place (Spanish "Contraseña:") runs under the box
// rather than over it, and the group box lies below everything it frames.
void TWinInternetConfig::CreateControls() {
    const auto layer = [](TKind kind) { return kind == kGroupBox ? 2 : kind == kLabel ? 1 : 0; };
    for (int nLayer = 0; nLayer < 3; ++nLayer)
        for (const TControlRow& row : kControls)
            if (layer(row.nKind) == nLayer) m_lstControls.push_back({row.strName, NewControl(m_hWnd, row)});
}

HWND TWinInternetConfig::Control(const std::string& name) const {
    for (const TControl& control : m_lstControls)
        if (name == control.strName) return control.hWnd;
    return nullptr;
}

std::vector<std::string> TWinInternetConfig::ControlNames() const {
    std::vector<std::string> names;
    for (const TControl& control : m_lstControls) names.emplace_back(control.strName);
    return names;
}

RECT TWinInternetConfig::LogicalRect(const std::string& name) const {
    RECT rect{};
    GetWindowRect(Control(name), &rect);
    MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
    const TDpiScale scale{m_nDpi};
    return {scale.Logical(rect.left), scale.Logical(rect.top), scale.Logical(rect.right), scale.Logical(rect.bottom)};
}

// Texts are put in place on every showing, so that a language changed since
// the last one counts.
void TWinInternetConfig::ApplyLanguage() {
    const uint8_t language = GetLanguage();
    SetWindowTextW(m_hWnd, Widen(ProxyDialogText(TProxyTextKey::Caption, language)).c_str());
    for (const TControlRow& row : kControls)
        if (row.nText != P::Count)
            SetWindowTextW(Control(row.strName), Widen(ProxyDialogText(row.nText, language)).c_str());
}

void TWinInternetConfig::ApplyEnabling() {
    const TProxyEnabling enabling = ProxyEnabling(Choice(), Checked("chkAutenticacao"));
    const std::pair<const char*, bool> rules[] = {
        {"lblEndProxy", enabling.bProxyBoxes},       {"EdtProxyIP", enabling.bProxyBoxes},
        {"lblPortProxy", enabling.bProxyBoxes},      {"EdtProxyPort", enabling.bProxyBoxes},
        {"lblEndSocks", enabling.bSocksBoxes},       {"EdtProxySOCKs", enabling.bSocksBoxes},
        {"lblPortSocks", enabling.bSocksBoxes},      {"EdtSOCKsPort", enabling.bSocksBoxes},
        {"chkAutenticacao", enabling.bAuthenticate}, {"lblUserName", enabling.bCredentials},
        {"edtUserName", enabling.bCredentials},      {"lblSenha", enabling.bCredentials},
        {"edtSenha", enabling.bCredentials}};
    for (const auto& [name, enabled] : rules) EnableWindow(Control(name), enabled ? TRUE : FALSE);
}

// Places everything at `dpi`: the Qt dialog's places, scaled.
void TWinInternetConfig::Layout(int dpi) {
    m_nDpi = dpi;
    m_font = TGdiFont(TWinFonts::Create({"Segoe UI", 11}, dpi));
    SendMessageW(m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(m_font.Handle()), FALSE);
    const TDpiScale scale{dpi};
    const int rightEdit = ProxyRightEditLeft(GetLanguage());
    for (const TControlRow& row : kControls) {
        HWND control = Control(row.strName);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(m_font.Handle()), FALSE);
        const int left = (row.nLeft == nRightEdit ? rightEdit : row.nLeft) + (row.bInBox ? nBoxLeft : 0);
        const int top = row.nTop + (row.bInBox ? nBoxTop : 0);
        SIZE size{scale(row.nWidth), scale(row.nHeight)};
        if (row.nWidth == nTextSize) size = TextSize(control, m_font.Handle());
        SetWindowPos(control, nullptr, scale(left), scale(top), size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    SetClientSize(m_hWnd, nClientWidth, nClientHeight, dpi);
    InvalidateRect(m_hWnd, nullptr, TRUE);
}

void TWinInternetConfig::Prepare(HWND owner) {
    SetWindowLongPtrW(m_hWnd, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
    ApplyLanguage();
    ApplyEnabling();
    Layout(WindowDpi(owner ? owner : m_hWnd));
    CentreOn(owner);
}

void TWinInternetConfig::CentreOn(HWND owner) {
    RECT window{};
    GetWindowRect(m_hWnd, &window);
    POINT place = CentredPlace(owner, window.right - window.left, window.bottom - window.top);
    SetWindowPos(m_hWnd, HWND_TOPMOST, place.x, place.y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
}

bool TWinInternetConfig::ShowModal(HWND owner) {
    Prepare(owner);
    m_nResult = 0;
    if (owner) EnableWindow(owner, FALSE);
    ShowWindow(m_hWnd, SW_SHOW);
    SetForegroundWindow(m_hWnd);
    for (const char* radio : kRadios)
        if (Checked(radio)) SetFocus(Control(radio));
    const std::optional<int> quit = RunMessagesUntil([this] { return m_nResult != 0; });
    // The owner comes back before the dialog goes, so that Windows activates
    // it rather than some other program's window.
    if (owner) EnableWindow(owner, TRUE);
    ShowWindow(m_hWnd, SW_HIDE);
    // The main loop still has to end.
    if (quit) PostQuitMessage(*quit);
    return m_nResult == IDOK;
}

void TWinInternetConfig::SelectChoice(TProxyChoice choice) {
    for (size_t i = 0; i < std::size(kRadios); ++i)
        SendMessageW(Control(kRadios[i]), BM_SETCHECK, i == static_cast<size_t>(choice) ? BST_CHECKED : BST_UNCHECKED,
                     0);
    ApplyEnabling();
}

TProxyChoice TWinInternetConfig::Choice() const {
    if (Checked("RadioProxyIE")) return pcBrowser;
    if (Checked("RadioProxyConfig")) return pcManual;
    if (Checked("RadioProxySOCKSConfig")) return pcSocks;
    return pcNone;
}

bool TWinInternetConfig::Checked(const char* name) const {
    return SendMessageW(Control(name), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

std::string TWinInternetConfig::Text(const char* name) const { return Narrow(TWinText::WindowText(Control(name))); }

TProxySettings TWinInternetConfig::ChosenSettings(
    const std::function<bool(std::string&, std::string&)>& systemProxy) const {
    TProxyEntries entries;
    entries.strProxyHost = Text("EdtProxyIP");
    entries.strProxyPort = Text("EdtProxyPort");
    entries.strSocksHost = Text("EdtProxySOCKs");
    entries.strSocksPort = Text("EdtSOCKsPort");
    entries.bAuthenticate = Checked("chkAutenticacao");
    entries.strUserName = Text("edtUserName");
    entries.strPassword = Text("edtSenha");
    return ChosenProxySettings(Choice(), entries, systemProxy);
}

void TWinInternetConfig::OnCommand(int id, int code) {
    if (id == IDOK || id == IDCANCEL) {
        m_nResult = id;
        return;
    }
    if (code != BN_CLICKED) return;
    for (size_t i = 0; i < std::size(kRadios); ++i)
        if (id == RowOf(kRadios[i]).nId) SelectChoice(static_cast<TProxyChoice>(i));
    if (id == RowOf("chkAutenticacao").nId) ApplyEnabling();
}

LRESULT TWinInternetConfig::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_CLOSE:
            m_nResult = IDCANCEL;
            return 0;
        default:
            return TWinDialogWindow::Handle(message, wParam, lParam);
    }
}

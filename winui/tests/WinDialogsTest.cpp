// The Win32 window's Internet settings dialog and help window, against the Qt
// window's layout, texts and behaviour.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "base/HelpText.h"
#include "base/Texts.h"
#include "platform/windows/WideString.h"
#include "support/SystemProxyStandIn.h"
#include "winui/WinHelpForm.h"
#include "winui/WinInternetConfig.h"

namespace {

std::string WindowText(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return Narrow(text);
}

void Type(HWND box, const std::wstring& keys) {
    for (wchar_t key : keys) SendMessageW(box, WM_CHAR, key, 1);
}

// Runs `during` from inside a modal loop, once the loop has started; a second
// timer closes whatever is still open after ten seconds, so that a loop that
// does not end fails the test instead of hanging it.
std::function<void()> g_fnDuring;
bool g_bWatchdogFired = false;
HWND g_hWatched = nullptr;

void CALLBACK RunDuring(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    if (g_fnDuring) g_fnDuring();
}

void CALLBACK Watchdog(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    g_bWatchdogFired = true;
    PostMessageW(g_hWatched, WM_CLOSE, 0, 0);
}

template <typename Run>
auto WhileLooping(HWND watched, std::function<void()> during, Run run) {
    g_fnDuring = std::move(during);
    g_bWatchdogFired = false;
    g_hWatched = watched;
    const UINT_PTR duringTimer = SetTimer(nullptr, 0, 30, RunDuring);
    const UINT_PTR watchdog = SetTimer(nullptr, 0, 10000, Watchdog);
    auto result = run();
    KillTimer(nullptr, duringTimer);
    KillTimer(nullptr, watchdog);
    EXPECT_FALSE(g_bWatchdogFired) << "the modal loop did not end";
    return result;
}

// A main window stand-in to own the dialog.
HWND NewOwner() {
    return CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP | WS_VISIBLE, 100, 80, 700, 500, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

// Whether `upper` lies above `lower` among their siblings.
bool Above(HWND upper, HWND lower) {
    for (HWND sibling = GetWindow(upper, GW_HWNDNEXT); sibling; sibling = GetWindow(sibling, GW_HWNDNEXT))
        if (sibling == lower) return true;
    return false;
}

RECT Rect(int left, int top, int width, int height) { return {left, top, left + width, top + height}; }

// The Qt dialog's places (group box children are placed inside it, at 16, 14).
std::map<std::string, RECT> QtRects(uint8_t language) {
    const int right = 16 + (language == lngEnglish ? 383 : 368);
    return {
        {"GroupBox1", Rect(16, 14, 529, 235)},
        {"RadioNoProxy", Rect(48, 38, 161, 17)},
        {"RadioProxyIE", Rect(48, 61, 281, 17)},
        {"RadioProxyConfig", Rect(48, 84, 177, 17)},
        {"EdtProxyIP", Rect(136, 109, 185, 21)},
        {"EdtProxyPort", Rect(right, 109, 73, 21)},
        {"RadioProxySOCKSConfig", Rect(48, 138, 177, 17)},
        {"EdtProxySOCKs", Rect(136, 161, 185, 21)},
        {"EdtSOCKsPort", Rect(right, 161, 73, 21)},
        {"chkAutenticacao", Rect(48, 190, 177, 17)},
        {"edtUserName", Rect(136, 211, 185, 21)},
        {"edtSenha", Rect(right, 213, 121, 21)},
        {"btnOK", Rect(383, 263, 75, 25)},
        {"btnCancel", Rect(464, 263, 75, 25)},
    };
}

// Each label with its top-left corner (Qt) and the box it names.
struct TLabelPlace {
    const char* strLabel;
    int nLeft, nTop;
    const char* strBox;
};
const TLabelPlace kLabels[] = {
    {"lblEndProxy", 80, 112, "EdtProxyIP"},    {"lblPortProxy", 344, 112, "EdtProxyPort"},
    {"lblEndSocks", 80, 164, "EdtProxySOCKs"}, {"lblPortSocks", 344, 164, "EdtSOCKsPort"},
    {"lblUserName", 80, 216, "edtUserName"},   {"lblSenha", 344, 216, "edtSenha"},
};

const std::pair<const char*, TProxyTextKey> kTexts[] = {
    {"GroupBox1", TProxyTextKey::GroupBox1},
    {"lblEndProxy", TProxyTextKey::lblEndProxy},
    {"lblPortProxy", TProxyTextKey::lblPortProxy},
    {"lblUserName", TProxyTextKey::lblUserName},
    {"lblSenha", TProxyTextKey::lblSenha},
    {"lblEndSocks", TProxyTextKey::lblEndSocks},
    {"lblPortSocks", TProxyTextKey::lblPortSocks},
    {"RadioProxyIE", TProxyTextKey::RadioProxyIE},
    {"RadioProxyConfig", TProxyTextKey::RadioProxyConfig},
    {"RadioNoProxy", TProxyTextKey::RadioNoProxy},
    {"chkAutenticacao", TProxyTextKey::chkAutenticacao},
    {"RadioProxySOCKSConfig", TProxyTextKey::RadioProxySOCKSConfig},
    {"btnCancel", TProxyTextKey::btnCancel},
    {"btnOK", TProxyTextKey::btnOK},
};

void ExpectRect(const RECT& actual, const RECT& expected, const std::string& name) {
    EXPECT_EQ(actual.left, expected.left) << name;
    EXPECT_EQ(actual.top, expected.top) << name;
    EXPECT_EQ(actual.right, expected.right) << name;
    EXPECT_EQ(actual.bottom, expected.bottom) << name;
}

class WinDialogsTest : public testing::Test {
protected:
    void TearDown() override { SetLanguage(lngPortuguese); }
};

class WinInternetConfigTest : public WinDialogsTest {
public:
    void TearDown() override {
        if (m_hOwner) DestroyWindow(m_hOwner);
        WinDialogsTest::TearDown();
    }
    HWND C(const char* name) const { return m_dialog.Control(name); }
    // Shows the dialog over the owner and runs `during` inside its loop. The
    // owner is made only here: showing and destroying a window costs Wine
    // without a window manager a second.
    bool ShowModal(std::function<void()> during) {
        if (!m_hOwner) m_hOwner = NewOwner();
        return WhileLooping(m_dialog.Window(), std::move(during), [&] { return m_dialog.ShowModal(m_hOwner); });
    }
    void Click(const char* name) { SendMessageW(C(name), BM_CLICK, 0, 0); }

    HWND m_hOwner = nullptr;
    TWinInternetConfig m_dialog;
};

// One dialog, reused as the main window reuses it: every showing puts the
// current language's texts and places in.
TEST_F(WinInternetConfigTest, TextsAndPlacesFollowTheLanguageOnEveryShowing) {
    for (uint8_t language : {lngEnglish, lngSpanish, lngPortuguese}) {
        SCOPED_TRACE(static_cast<int>(language));
        SetLanguage(language);
        ShowModal([&] { PostMessageW(C("btnCancel"), BM_CLICK, 0, 0); });
        EXPECT_EQ(WindowText(m_dialog.Window()), ProxyDialogText(TProxyTextKey::Caption, language));
        for (const auto& [name, key] : kTexts) EXPECT_EQ(WindowText(C(name)), ProxyDialogText(key, language)) << name;

        EXPECT_EQ(m_dialog.Dpi(), 96);
        RECT client{};
        GetClientRect(m_dialog.Window(), &client);
        ExpectRect(client, Rect(0, 0, 555, 299), "client area");
        for (const auto& [name, rect] : QtRects(language)) ExpectRect(m_dialog.LogicalRect(name), rect, name);
        // Labels take their text's size and stand where the Qt dialog's stand.
        // Only the Spanish "Contraseña:" is longer than its place (also in the
        // Qt dialog): its box lies above it.
        for (const TLabelPlace& label : kLabels) {
            const RECT rect = m_dialog.LogicalRect(label.strLabel);
            EXPECT_EQ(rect.left, label.nLeft) << label.strLabel;
            EXPECT_EQ(rect.top, label.nTop) << label.strLabel;
            EXPECT_GT(rect.right - rect.left, 10) << label.strLabel;
            if (language != lngSpanish) {
                EXPECT_LE(rect.right, m_dialog.LogicalRect(label.strBox).left) << label.strLabel;
            }
            EXPECT_TRUE(Above(C(label.strBox), C(label.strLabel))) << label.strLabel;
        }
        EXPECT_TRUE(Above(C("btnOK"), C("GroupBox1")));
    }
}

// On a monitor of 144 dpi (as WM_DPICHANGED tells when the dialog is dragged
// there) every length grows by half; in 96-dpi units the places stay.
TEST_F(WinInternetConfigTest, LayoutScalesWithTheMonitor) {
    SetLanguage(lngEnglish);
    RECT suggested{0, 0, 900, 500};
    SendMessageW(m_dialog.Window(), WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(m_dialog.Dpi(), 144);
    RECT client{};
    GetClientRect(m_dialog.Window(), &client);
    EXPECT_NEAR(client.right, 833, 1);
    EXPECT_NEAR(client.bottom, 449, 1);
    for (const auto& [name, rect] : QtRects(lngEnglish)) {
        const RECT actual = m_dialog.LogicalRect(name);
        EXPECT_NEAR(actual.left, rect.left, 1) << name;
        EXPECT_NEAR(actual.top, rect.top, 1) << name;
        EXPECT_NEAR(actual.right, rect.right, 1) << name;
        EXPECT_NEAR(actual.bottom, rect.bottom, 1) << name;
    }
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(C("btnOK"), WM_GETFONT, 0, 0)), sizeof(font), &font);
    EXPECT_EQ(font.lfHeight, -17);  // 11 px at 96 dpi
}

TEST_F(WinInternetConfigTest, EnablingRuleFollowsTheClickedChoice) {
    struct Case {
        const char* strRadio;
        TProxyChoice nChoice;
        bool bProxy, bSocks, bAuth;
    };
    EXPECT_EQ(m_dialog.Choice(), pcNone);
    SendMessageW(C("chkAutenticacao"), BM_SETCHECK, BST_CHECKED, 0);
    for (const Case& c :
         {Case{"RadioProxyConfig", pcManual, true, false, true},
          Case{"RadioProxySOCKSConfig", pcSocks, false, true, true},
          Case{"RadioProxyIE", pcBrowser, false, false, true}, Case{"RadioNoProxy", pcNone, false, false, false}}) {
        SCOPED_TRACE(c.strRadio);
        Click(c.strRadio);
        EXPECT_EQ(m_dialog.Choice(), c.nChoice);
        for (const char* radio : {"RadioNoProxy", "RadioProxyIE", "RadioProxyConfig", "RadioProxySOCKSConfig"})
            EXPECT_EQ(SendMessageW(C(radio), BM_GETCHECK, 0, 0) == BST_CHECKED, radio == c.strRadio) << radio;
        for (const char* name : {"lblEndProxy", "EdtProxyIP", "lblPortProxy", "EdtProxyPort"})
            EXPECT_EQ(IsWindowEnabled(C(name)) != FALSE, c.bProxy) << name;
        for (const char* name : {"lblEndSocks", "EdtProxySOCKs", "lblPortSocks", "EdtSOCKsPort"})
            EXPECT_EQ(IsWindowEnabled(C(name)) != FALSE, c.bSocks) << name;
        for (const char* name : {"chkAutenticacao", "lblUserName", "edtUserName", "lblSenha", "edtSenha"})
            EXPECT_EQ(IsWindowEnabled(C(name)) != FALSE, c.bAuth) << name;
    }
    Click("RadioProxyConfig");
    Click("chkAutenticacao");
    EXPECT_EQ(SendMessageW(C("chkAutenticacao"), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_FALSE(IsWindowEnabled(C("edtUserName")));
    EXPECT_FALSE(IsWindowEnabled(C("edtSenha")));
    EXPECT_TRUE(IsWindowEnabled(C("EdtProxyIP")));
}

// Each way of ending the loop, with what the dialog is like while it runs.
TEST_F(WinInternetConfigTest, ModalLoopEndsWithOkOrCancel) {
    struct Case {
        const char* strHow;
        std::function<void(WinInternetConfigTest&)> fnEnd;
        bool bOk;
    };
    const Case cases[] = {
        {"OK clicked", [](WinInternetConfigTest& t) { PostMessageW(t.C("btnOK"), BM_CLICK, 0, 0); }, true},
        {"Enter in a box", [](WinInternetConfigTest& t) { PostMessageW(t.C("EdtProxyIP"), WM_KEYDOWN, VK_RETURN, 1); },
         true},
        {"Cancel clicked", [](WinInternetConfigTest& t) { PostMessageW(t.C("btnCancel"), BM_CLICK, 0, 0); }, false},
        {"Esc", [](WinInternetConfigTest& t) { PostMessageW(t.C("EdtProxyIP"), WM_KEYDOWN, VK_ESCAPE, 1); }, false},
        {"close box", [](WinInternetConfigTest& t) { PostMessageW(t.m_dialog.Window(), WM_SYSCOMMAND, SC_CLOSE, 0); },
         false},
    };
    m_dialog.SelectChoice(pcManual);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.strHow);
        bool bOwnerEnabled = true;
        bool bVisible = false;
        RECT dialog{};
        const bool bOk = ShowModal([&] {
            bOwnerEnabled = IsWindowEnabled(m_hOwner) != FALSE;
            bVisible = IsWindowVisible(m_dialog.Window()) != FALSE;
            GetWindowRect(m_dialog.Window(), &dialog);
            c.fnEnd(*this);
        });
        EXPECT_EQ(bOk, c.bOk);
        EXPECT_FALSE(bOwnerEnabled);
        EXPECT_TRUE(bVisible);
        EXPECT_TRUE(IsWindowEnabled(m_hOwner));
        EXPECT_FALSE(IsWindowVisible(m_dialog.Window()));
        EXPECT_EQ(GetWindow(m_dialog.Window(), GW_OWNER), m_hOwner);
        // Centred over the owner (100, 80, 700 x 500).
        EXPECT_NEAR((dialog.left + dialog.right) / 2, 450, 1);
        EXPECT_NEAR((dialog.top + dialog.bottom) / 2, 330, 1);
    }
    EXPECT_TRUE(GetWindowLongPtrW(m_dialog.Window(), GWL_EXSTYLE) & WS_EX_TOPMOST);
}

// The arrow keys move the check between the choices, as in any Windows group
// of radio buttons.
TEST_F(WinInternetConfigTest, ArrowKeysMoveTheChoice) {
    ShowModal([&] {
        PostMessageW(GetFocus(), WM_KEYDOWN, VK_DOWN, 1);
        PostMessageW(C("btnOK"), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(m_dialog.Choice(), pcBrowser);
    EXPECT_FALSE(IsWindowEnabled(C("EdtProxyIP")));
}

// What the user typed and clicked survives Cancel and the next showing.
TEST_F(WinInternetConfigTest, CancelKeepsTheEdits) {
    const bool bOk = ShowModal([&] {
        Click("RadioProxySOCKSConfig");
        Type(C("EdtProxySOCKs"), L"socks.lan");
        Type(C("EdtSOCKsPort"), L"1080");
        Click("chkAutenticacao");
        Type(C("edtUserName"), L"ana");
        PostMessageW(C("btnCancel"), BM_CLICK, 0, 0);
    });
    EXPECT_FALSE(bOk);
    std::string proxyPort;
    ShowModal([&] {
        proxyPort = WindowText(C("EdtSOCKsPort"));
        PostMessageW(C("btnOK"), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(proxyPort, "1080");
    EXPECT_EQ(m_dialog.Choice(), pcSocks);
    EXPECT_TRUE(IsWindowEnabled(C("edtUserName")));
    const TProxySettings settings = m_dialog.ChosenSettings(SystemProxyAnswering("", ""));
    EXPECT_EQ(settings.FHost, "socks.lan");
    EXPECT_EQ(settings.FPort, 1080);
    EXPECT_EQ(settings.FUserName, "ana");
}

TEST_F(WinInternetConfigTest, SettingsOfEachChoice) {
    SetWindowTextW(C("EdtProxyIP"), L" proxy.lan");
    Type(C("EdtProxyPort"), L"3128");
    SetWindowTextW(C("EdtProxySOCKs"), L"socks.lan");
    SetWindowTextW(C("edtUserName"), L"ana");
    SetWindowTextW(C("edtSenha"), L"s3cr\u00e9t");
    SendMessageW(C("chkAutenticacao"), BM_SETCHECK, BST_CHECKED, 0);

    Click("RadioProxyConfig");
    TProxySettings s = m_dialog.ChosenSettings(SystemProxyAnswering("", ""));
    EXPECT_EQ(s.FHost, " proxy.lan");  // taken as typed
    EXPECT_EQ(s.FPort, 3128);
    EXPECT_EQ(s.FScheme, "");
    EXPECT_EQ(s.FUserName, "ana");
    EXPECT_EQ(s.FPassword, "s3cr\xc3\xa9t");

    // A port that is not a number reaches the box only by a program or a
    // paste of old; either way it stands for no port.
    for (const wchar_t* port : {L"", L"80a", L"99999"}) {
        SetWindowTextW(C("EdtProxyPort"), port);
        EXPECT_EQ(m_dialog.ChosenSettings(SystemProxyAnswering("", "")).FPort, 0) << Narrow(port);
    }

    Click("RadioProxySOCKSConfig");
    s = m_dialog.ChosenSettings(SystemProxyAnswering("", ""));
    EXPECT_EQ(s.FHost, "socks.lan");
    EXPECT_EQ(s.FPort, 0);
    EXPECT_EQ(s.FScheme, "socks5");

    // The browser choice asks the system on every call.
    Click("RadioProxyIE");
    int nAsked = 0;
    std::string strSystemPort = "8080";
    auto system = [&](std::string& host, std::string& port) {
        ++nAsked;
        host = "cache";
        port = strSystemPort;
        return true;
    };
    EXPECT_EQ(m_dialog.ChosenSettings(system).FPort, 8080);
    strSystemPort = "3129";
    s = m_dialog.ChosenSettings(system);
    EXPECT_EQ(nAsked, 2);
    EXPECT_EQ(s.FHost, "cache");
    EXPECT_EQ(s.FPort, 3129);
    EXPECT_EQ(s.FUserName, "ana");
    EXPECT_EQ(m_dialog.ChosenSettings(SystemProxyAnswering("http=cache", "80;https=cache:443")).FPort, 0);

    Click("RadioNoProxy");  // authentication is disabled with it
    s = m_dialog.ChosenSettings(SystemProxyAnswering("cache", "8080"));
    EXPECT_EQ(s.FHost, "");
    EXPECT_EQ(s.FUserName, "");
    EXPECT_EQ(s.FPassword, "");
}

void PutOnClipboard(HWND owner, const std::wstring& text) {
    ASSERT_TRUE(OpenClipboard(owner));
    EmptyClipboard();
    HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    memcpy(GlobalLock(data), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(data);
    SetClipboardData(CF_UNICODETEXT, data);
    CloseClipboard();
}

TEST_F(WinInternetConfigTest, PortBoxesTakeDigitsOnly) {
    m_dialog.SelectChoice(pcManual);
    for (const char* name : {"EdtProxyPort", "EdtSOCKsPort"}) {
        SCOPED_TRACE(name);
        HWND box = C(name);
        SetWindowTextW(box, L"");
        Type(box, L"8a0-8");
        EXPECT_EQ(WindowText(box), "808");
        PutOnClipboard(m_dialog.Window(), L"12a");
        SendMessageW(box, WM_PASTE, 0, 0);
        EXPECT_EQ(WindowText(box), "808");
        PutOnClipboard(m_dialog.Window(), L"1");
        SendMessageW(box, EM_SETSEL, 0, -1);
        SendMessageW(box, WM_PASTE, 0, 0);
        EXPECT_EQ(WindowText(box), "1");
    }
    EXPECT_TRUE(GetWindowLongPtrW(C("edtSenha"), GWL_STYLE) & ES_PASSWORD);
    EXPECT_NE(SendMessageW(C("edtSenha"), EM_GETPASSWORDCHAR, 0, 0), 0);
}

TEST_F(WinInternetConfigTest, TabOrderRunsThroughTheControls) {
    const std::vector<std::string> expected = {
        "RadioNoProxy",  "RadioProxyIE", "RadioProxyConfig", "EdtProxyIP",  "EdtProxyPort", "RadioProxySOCKSConfig",
        "EdtProxySOCKs", "EdtSOCKsPort", "chkAutenticacao",  "edtUserName", "edtSenha",     "btnOK",
        "btnCancel"};
    std::vector<std::string> order;
    for (HWND child = GetWindow(m_dialog.Window(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!(GetWindowLongPtrW(child, GWL_STYLE) & WS_TABSTOP)) continue;
        for (const std::string& name : m_dialog.ControlNames())
            if (m_dialog.Control(name) == child) order.push_back(name);
    }
    EXPECT_EQ(order, expected);
    // Tab from the last box reaches OK, which the dialog manager then finds.
    m_dialog.SelectChoice(pcManual);
    // Tab stops at the checked choice only and leaves the others to the arrow
    // keys, as Windows' dialog manager does with a group of radio buttons.
    m_dialog.SelectChoice(pcManual);
    const std::pair<const char*, const char*> steps[] = {{"RadioProxyConfig", "EdtProxyIP"},
                                                         {"EdtProxyIP", "EdtProxyPort"},
                                                         {"EdtProxyPort", "chkAutenticacao"},
                                                         {"btnCancel", "RadioProxyConfig"}};
    for (const auto& [from, to] : steps) EXPECT_EQ(GetNextDlgTabItem(m_dialog.Window(), C(from), FALSE), C(to)) << from;
}

// --- the help window -------------------------------------------------------

int LogicalWidth(const RECT& rect, int dpi) { return MulDiv(rect.right - rect.left, 96, dpi); }

TEST_F(WinDialogsTest, HelpWindowHoldsItsLanguageBlock) {
    struct Case {
        uint8_t nLanguage;
        int nLines;
        const char* strTitle;
    };
    for (const Case& c : {Case{lngPortuguese, 16, "Orla Desk - Ajuda"}, Case{lngEnglish, 16, "Orla Desk - Help"},
                          Case{lngSpanish, 15, "Orla Desk - Ayuda"}}) {
        SCOPED_TRACE(c.strTitle);
        TWinHelpForm form(BuildHelpText("setup-2.bin", c.nLanguage, "Orla Desk"));
        form.Show();
        EXPECT_EQ(WindowText(form.Window()), c.strTitle);
        EXPECT_EQ(SendMessageW(form.Memo(), EM_GETLINECOUNT, 0, 0), c.nLines);
        const std::string text = WindowText(form.Memo());
        EXPECT_NE(text.find("setup-2.bin /install"), std::string::npos);
        EXPECT_EQ(text.find("/st") != std::string::npos, c.nLanguage != lngSpanish);
        EXPECT_EQ(WindowText(form.Button()), "OK");

        wchar_t className[32] = {};
        GetClassNameW(form.Window(), className, 32);
        EXPECT_EQ(std::wstring(className), L"THelpForm");
        const auto style = GetWindowLongPtrW(form.Window(), GWL_STYLE);
        EXPECT_TRUE(style & WS_SYSMENU);
        EXPECT_FALSE(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
        EXPECT_TRUE(GetWindowLongPtrW(form.Window(), GWL_EXSTYLE) & WS_EX_TOPMOST);
        const auto memoStyle = GetWindowLongPtrW(form.Memo(), GWL_STYLE);
        EXPECT_TRUE(memoStyle & ES_READONLY);
        EXPECT_TRUE(memoStyle & ES_AUTOHSCROLL);  // no wrapping

        const int dpi = form.Dpi();
        RECT client{};
        GetClientRect(form.Window(), &client);
        EXPECT_EQ(LogicalWidth(client, dpi), 601);
        EXPECT_EQ(MulDiv(client.bottom, 96, dpi), 270);
        auto logical = [&](HWND control) {
            RECT rect{};
            GetWindowRect(control, &rect);
            MapWindowPoints(nullptr, form.Window(), reinterpret_cast<POINT*>(&rect), 2);
            return Rect(MulDiv(rect.left, 96, dpi), MulDiv(rect.top, 96, dpi), LogicalWidth(rect, dpi),
                        MulDiv(rect.bottom - rect.top, 96, dpi));
        };
        ExpectRect(logical(form.Memo()), Rect(8, 8, 585, 221), "mmoAjuda");
        RECT outer{};
        GetWindowRect(form.Window(), &outer);
        ExpectRect(logical(form.Button()), Rect(LogicalWidth(outer, dpi) / 2 - 37, 237, 75, 25), "Button1");

        // Centred on the primary monitor's work area.
        RECT work{};
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        EXPECT_NEAR((outer.left + outer.right) / 2, (work.left + work.right) / 2, 1);
        EXPECT_NEAR((outer.top + outer.bottom) / 2, (work.top + work.bottom) / 2, 1);
    }
}

TEST_F(WinDialogsTest, HelpWindowScalesWithTheMonitor) {
    TWinHelpForm form(BuildHelpText("OrlaDesk", lngPortuguese));
    RECT suggested{0, 0, 1000, 500};
    SendMessageW(form.Window(), WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(form.Dpi(), 144);
    RECT client{};
    GetClientRect(form.Window(), &client);
    EXPECT_NEAR(client.right, 902, 1);
    EXPECT_NEAR(client.bottom, 405, 1);
    RECT memo{};
    GetWindowRect(form.Memo(), &memo);
    MapWindowPoints(nullptr, form.Window(), reinterpret_cast<POINT*>(&memo), 2);
    ExpectRect(memo, Rect(12, 12, 878, 332), "mmoAjuda");
    EXPECT_EQ(GetWindowLongPtrW(form.Memo(), GWL_STYLE) & (WS_HSCROLL | WS_VSCROLL), 0);
}

// A tab in the text reaches the next stop of eight spaces.
TEST_F(WinDialogsTest, HelpWindowTabStopsAreEightSpaces) {
    TWinHelpForm form(THelpText{"t", {"\tx", "        x"}});
    form.Show();
    const LRESULT tabbed = SendMessageW(form.Memo(), EM_POSFROMCHAR, 1, 0);
    const LRESULT spaced = SendMessageW(form.Memo(), EM_POSFROMCHAR, 4 + 8, 0);
    const LRESULT start = SendMessageW(form.Memo(), EM_POSFROMCHAR, 0, 0);
    ASSERT_GT(static_cast<short>(LOWORD(spaced)), static_cast<short>(LOWORD(start)) + 8);
    // The stop is kept in quarters of an average character: within one of them.
    EXPECT_NEAR(static_cast<short>(LOWORD(tabbed)), static_cast<short>(LOWORD(spaced)), 2);
}

// Scroll bars only where the text overflows the box, as in the Qt window.
TEST_F(WinDialogsTest, HelpWindowScrollsOnlyWhatOverflows) {
    struct Case {
        const char* strWhat;
        THelpText help;
        LONG_PTR nBars;
    };
    const Case cases[] = {
        {"every block", BuildHelpText("OrlaDesk", lngPortuguese), 0},
        {"a long line", {"t", {std::string(200, 'w')}}, WS_HSCROLL},
        {"many lines", {"t", std::vector<std::string>(40, "line")}, WS_VSCROLL},
        {"both", {"t", std::vector<std::string>(40, std::string(200, 'w'))}, WS_HSCROLL | WS_VSCROLL},
    };
    for (const Case& c : cases) {
        TWinHelpForm form(c.help);
        EXPECT_EQ(GetWindowLongPtrW(form.Memo(), GWL_STYLE) & (WS_HSCROLL | WS_VSCROLL), c.nBars) << c.strWhat;
        EXPECT_EQ(GetNextDlgTabItem(form.Window(), form.Button(), FALSE), form.Memo()) << c.strWhat;
    }
}

TEST_F(WinDialogsTest, HelpWindowRunsUntilClosed) {
    struct Case {
        const char* strHow;
        std::function<void(HWND form)> fnClose;
    };
    const Case cases[] = {
        {"OK", [](HWND form) { PostMessageW(GetDlgItem(form, IDOK), BM_CLICK, 0, 0); }},
        {"Esc", [](HWND) { PostMessageW(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 1); }},
        {"Enter", [](HWND) { PostMessageW(GetFocus(), WM_KEYDOWN, VK_RETURN, 1); }},
        {"close box", [](HWND form) { PostMessageW(form, WM_SYSCOMMAND, SC_CLOSE, 0); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.strHow);
        bool bShown = false;
        HWND shown = nullptr;
        const int code = WhileLooping(
            nullptr,
            [&] {
                shown = FindWindowW(L"THelpForm", nullptr);
                g_hWatched = shown;
                bShown = shown && IsWindowVisible(shown);
                if (shown) c.fnClose(shown);
            },
            [] { return RunWinHelpWindow(BuildHelpText("OrlaDesk", lngEnglish)); });
        EXPECT_EQ(code, 0);
        EXPECT_TRUE(bShown);
        EXPECT_FALSE(IsWindow(shown));
    }
}

}  // namespace

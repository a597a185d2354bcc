// Reads the installer's window from outside, as a tester looking at the screen
// would, for the tests that drive it under Wine with real mouse clicks:
//
//   vx_winprobe frame                    the visible frame's name, or "none"
//   vx_winprobe wait-frame NAME SECONDS  waits until that frame is the visible one
//   vx_winprobe rect CLASS [TEXT]        "x y w h" on the screen of a visible control
//
// Exit 1 when there is no window (or no such control, or the wait ran out).
#include <windows.h>
// shellapi.h needs windows.h before it.
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kMainClass[] = L"TSetupForm";
constexpr wchar_t kFrameClass[] = L"TWizardFrame";

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

std::wstring ClassOf(HWND hwnd) {
    wchar_t name[256] = {};
    GetClassNameW(hwnd, name, 256);
    return name;
}

std::wstring TextOf(HWND hwnd) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

// The visible main window; a hidden one (a second copy's, going away) does not count.
HWND MainWindow() {
    HWND found = nullptr;
    EnumWindows(
        [](HWND hwnd, LPARAM param) -> BOOL {
            if (!IsWindowVisible(hwnd) || ClassOf(hwnd) != kMainClass) return TRUE;
            *reinterpret_cast<HWND*>(param) = hwnd;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// Every descendant of the main window of this class (and text, unless null)
// that is visible, ancestors included.
std::vector<HWND> VisibleControls(HWND main, const std::wstring& className, const std::wstring* text) {
    struct TSearch {
        const std::wstring& className;
        const std::wstring* text;
        std::vector<HWND> found;
    } search{className, text, {}};
    EnumChildWindows(
        main,
        [](HWND hwnd, LPARAM param) -> BOOL {
            auto& s = *reinterpret_cast<TSearch*>(param);
            if (IsWindowVisible(hwnd) && ClassOf(hwnd) == s.className && (!s.text || TextOf(hwnd) == *s.text))
                s.found.push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Nothing when there is no main window; "none" when no frame is shown.
bool VisibleFrame(std::string& name) {
    const HWND main = MainWindow();
    if (!main) return false;
    const std::vector<HWND> frames = VisibleControls(main, kFrameClass, nullptr);
    name = frames.empty() ? "none" : Utf8(TextOf(frames.front()));
    return true;
}

int PrintFrame() {
    std::string name;
    if (!VisibleFrame(name)) {
        std::fprintf(stderr, "no visible TSetupForm window\n");
        return 1;
    }
    std::printf("%s\n", name.c_str());
    return 0;
}

int WaitFrame(const std::string& wanted, double seconds) {
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(seconds * 1000);
    std::string name;
    do {
        if (VisibleFrame(name) && name == wanted) return 0;
        Sleep(100);
    } while (GetTickCount64() < deadline);
    std::fprintf(stderr, "the frame \"%s\" was not shown in %g s; the visible one: %s\n", wanted.c_str(), seconds,
                 name.empty() ? "(no window)" : name.c_str());
    return 1;
}

// Without a text, the first visible control of the class.
int PrintRect(const std::wstring& className, const std::wstring* text) {
    const HWND main = MainWindow();
    const std::vector<HWND> controls = main ? VisibleControls(main, className, text) : std::vector<HWND>{};
    if (controls.empty()) {
        std::fprintf(stderr, "no visible %s \"%s\"\n", Utf8(className).c_str(), text ? Utf8(*text).c_str() : "");
        return 1;
    }
    RECT rect{};
    GetWindowRect(controls.front(), &rect);
    std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    return 0;
}

int Usage() {
    std::fprintf(stderr, "usage: vx_winprobe frame | wait-frame NAME SECONDS | rect CLASS [TEXT]\n");
    return 2;
}

}  // namespace

int main() {
    // The texts of controls are Portuguese and Spanish words: the arguments are read as UTF-16.
    int argc = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::vector<std::wstring> args(wide + 1, wide + argc);
    LocalFree(wide);
    if (args.size() == 1 && args[0] == L"frame") return PrintFrame();
    if (args.size() == 3 && args[0] == L"wait-frame") return WaitFrame(Utf8(args[1]), _wtof(args[2].c_str()));
    if (args.size() == 2 && args[0] == L"rect") return PrintRect(args[1], nullptr);
    if (args.size() == 3 && args[0] == L"rect") return PrintRect(args[1], &args[2]);
    return Usage();
}

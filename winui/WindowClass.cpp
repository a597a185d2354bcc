#include "winui/WindowClass.h"

#include <set>
#include <stdexcept>
#include <string>

#include "platform/windows/WideString.h"

void RegisterWindowClassOnce(const wchar_t* name, WNDPROC procedure, HCURSOR cursor, HBRUSH background, HICON icon,
                             int windowExtra) {
    static std::set<std::wstring> registered;
    if (registered.count(name)) return;
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = name;
    windowClass.hCursor = cursor;
    windowClass.hbrBackground = background;
    windowClass.hIcon = icon;
    windowClass.cbWndExtra = windowExtra;
    if (!RegisterClassExW(&windowClass))
        throw std::runtime_error("cannot register the window class " + Narrow(name) + ": " +
                                 WindowsErrorText(GetLastError()));
    registered.insert(name);
}

void ProcessPendingMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

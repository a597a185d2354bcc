#include "winui/WindowClass.h"

#include <set>
#include <string>

void RegisterWindowClassOnce(const wchar_t* name, WNDPROC procedure, HCURSOR cursor, HBRUSH background, HICON icon) {
    static std::set<std::wstring> registered;
    if (!registered.insert(name).second) return;
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = name;
    windowClass.hCursor = cursor;
    windowClass.hbrBackground = background;
    windowClass.hIcon = icon;
    RegisterClassExW(&windowClass);
}

void ProcessPendingMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

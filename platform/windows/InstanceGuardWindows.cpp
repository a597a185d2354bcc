#include <windows.h>

#include <stdexcept>
#include <utility>

#include "base/EditionConstants.h"
#include "platform/InstanceGuard.h"
#include "platform/LogLine.h"
#include "platform/windows/WideString.h"

namespace {

constexpr wchar_t kWindowClass[] = L"TInstanceGuard";
constexpr wchar_t kRaiseMessageName[] = L"TInstanceGuard.Raise";
// What the first instance answers once its callback ran. Any other window, or
// a callback that failed, answers something else (DefWindowProc gives 0).
constexpr LRESULT kRaised = 0x52414953;
// How long the later instance waits for the first one's answer.
constexpr UINT kExchangeTimeoutMs = 3000;

UINT RaiseMessage() {
    static const UINT s_nMessage = RegisterWindowMessageW(kRaiseMessageName);
    return s_nMessage;
}

// The window carries a pointer to the guard's callback; it lives on the
// listening thread and is destroyed there before the callback goes.
LRESULT CALLBACK GuardWindowProc(HWND hWindow, UINT nMessage, WPARAM wParam, LPARAM lParam) {
    if (nMessage == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    } else if (nMessage == WM_CLOSE) {
        DestroyWindow(hWindow);
        return 0;
    } else if (nMessage == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    } else if (nMessage == RaiseMessage() && RaiseMessage() != 0) {
        auto* onRaise = reinterpret_cast<std::function<void()>*>(GetWindowLongPtrW(hWindow, GWLP_USERDATA));
        try {
            if (onRaise && *onRaise) (*onRaise)();
            return kRaised;
        } catch (const std::exception& e) {
            AppendLog(std::string("TInstanceGuard.ListenLoop: Exception=") + e.what());
        } catch (...) {
            AppendLog("TInstanceGuard.ListenLoop: unknown exception");
        }
        return 0;
    }
    return DefWindowProcW(hWindow, nMessage, wParam, lParam);
}

bool RegisterGuardClass() {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = GuardWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kWindowClass;
    return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

TInstanceGuard::TInstanceGuard() : m_strName(edition::strProductCode) {}

TInstanceGuard::TInstanceGuard(std::string name) : m_strName(std::move(name)) {}

TInstanceGuard::~TInstanceGuard() {
    StopListening();
    if (m_hMutex) {
        if (m_bOwnsLock) ReleaseMutex(m_hMutex);
        CloseHandle(m_hMutex);
    }
}

bool TInstanceGuard::TryAcquire() {
    if (m_bOwnsLock) return true;
    // The mutex name has no "Global\" prefix: it lives in the session's own
    // namespace, so each signed-in user may run one installer.
    HANDLE hMutex = CreateMutexW(nullptr, TRUE, Widen(m_strName).c_str());
    const DWORD nError = GetLastError();
    if (!hMutex) {
        // A mutex of that name that we may not open belongs to another
        // instance (one running elevated, say).
        if (nError == ERROR_ACCESS_DENIED) return false;
        AppendLog("TInstanceGuard.TryAcquire: CreateMutex failed: " + WindowsErrorText(nError) + ", running unguarded");
        m_bLockUnavailable = true;
        return true;
    }
    if (nError == ERROR_ALREADY_EXISTS) {
        CloseHandle(hMutex);
        return false;
    }
    m_hMutex = hMutex;
    m_bOwnsLock = true;
    return true;
}

bool TInstanceGuard::ListenForRaise(std::function<void()> onRaise) {
    if (m_Listener.joinable()) throw std::logic_error("TInstanceGuard.ListenForRaise: already listening");
    if (m_bLockUnavailable) return false;
    if (!m_bOwnsLock) throw std::logic_error("TInstanceGuard.ListenForRaise: lock not held");
    if (RaiseMessage() == 0 || !RegisterGuardClass()) {
        AppendLog("TInstanceGuard.ListenForRaise: cannot register the window: " + WindowsErrorText(GetLastError()));
        return false;
    }
    HANDLE hReady = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!hReady) {
        AppendLog("TInstanceGuard.ListenForRaise: CreateEvent failed: " + WindowsErrorText(GetLastError()));
        return false;
    }
    m_OnRaise = std::move(onRaise);
    m_Listener = std::thread([this, hReady] { ListenLoop(hReady); });
    WaitForSingleObject(hReady, INFINITE);
    CloseHandle(hReady);
    if (m_hWindow) return true;
    m_Listener.join();
    return false;
}

// A window belongs to the thread that made it and only that thread receives
// its messages, so the window is made here and the event tells the guard's
// thread whether that worked.
void TInstanceGuard::ListenLoop(void* hReady) {
    HWND hWindow = CreateWindowExW(0, kWindowClass, Widen(m_strName).c_str(), 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   GetModuleHandleW(nullptr), &m_OnRaise);
    if (!hWindow)
        AppendLog("TInstanceGuard.ListenForRaise: cannot create the window: " + WindowsErrorText(GetLastError()));
    m_hWindow = hWindow;
    SetEvent(hReady);
    if (!hWindow) return;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

bool TInstanceGuard::RequestRaise() {
    const UINT nMessage = RaiseMessage();
    if (nMessage == 0) return false;
    // Message-only windows are found only by asking below HWND_MESSAGE.
    HWND hWindow = FindWindowExW(HWND_MESSAGE, nullptr, kWindowClass, Widen(m_strName).c_str());
    if (!hWindow) {
        AppendLog("TInstanceGuard.RequestRaise: no window of the first instance");
        return false;
    }
    // The user just started this process, so it may hand the foreground on;
    // without this, Windows would only flash the first instance's task-bar button.
    DWORD nFirstPid = 0;
    GetWindowThreadProcessId(hWindow, &nFirstPid);
    if (nFirstPid != 0) AllowSetForegroundWindow(nFirstPid);
    DWORD_PTR nAnswer = 0;
    if (!SendMessageTimeoutW(hWindow, nMessage, 0, 0, SMTO_ABORTIFHUNG | SMTO_ERRORONEXIT, kExchangeTimeoutMs,
                             &nAnswer)) {
        AppendLog("TInstanceGuard.RequestRaise: no answer: " + WindowsErrorText(GetLastError()));
        return false;
    }
    return nAnswer == static_cast<DWORD_PTR>(kRaised);
}

void TInstanceGuard::StopListening() {
    if (!m_Listener.joinable()) return;
    if (m_hWindow) PostMessageW(static_cast<HWND>(m_hWindow), WM_CLOSE, 0, 0);
    m_Listener.join();
    m_hWindow = nullptr;
}

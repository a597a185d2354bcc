#include "winui/WinReportWindowSide.h"

#include "base/EditionConstants.h"
#include "platform/windows/WideString.h"

namespace {

std::string ClassName(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return Narrow(name);
}

BOOL CALLBACK AddForm(HWND window, LPARAM forms) {
    auto* list = reinterpret_cast<std::vector<std::pair<std::string, bool>>*>(forms);
    list->emplace_back(ClassName(window), IsWindowVisible(window) != FALSE);
    return TRUE;
}

}  // namespace

TWinReportWindowSide::TWinReportWindowSide(HWND mainWindow)
    : m_hMainWindow(mainWindow), m_nThreadId(GetWindowThreadProcessId(mainWindow, nullptr)) {}

TWinReportWindowSide::~TWinReportWindowSide() { m_bExists = false; }

bool TWinReportWindowSide::IsMainThread() const { return GetCurrentThreadId() == m_nThreadId; }

bool TWinReportWindowSide::MainWindowExists() const { return m_bExists && IsWindow(m_hMainWindow); }

// Class names only: a control's text may be what the user typed.
std::vector<std::pair<std::string, std::string>> TWinReportWindowSide::FocusedControlChain() const {
    std::vector<std::pair<std::string, std::string>> chain;
    for (HWND window = GetFocus(); window; window = GetParent(window)) chain.emplace_back(ClassName(window), "");
    return chain;
}

std::vector<std::pair<std::string, bool>> TWinReportWindowSide::OpenForms() const {
    std::vector<std::pair<std::string, bool>> forms;
    EnumThreadWindows(m_nThreadId, AddForm, reinterpret_cast<LPARAM>(&forms));
    return forms;
}

void TWinReportWindowSide::ShowMessage(const std::string& text) {
    MessageBoxW(m_hMainWindow, Widen(text).c_str(), Widen(edition::strWindowCaption).c_str(),
                MB_OK | MB_ICONINFORMATION);
}

#pragma once
#include <windows.h>

#include <atomic>

#include "diagnostics/ReportWindowSide.h"

// The Win32 window's side of error reports: its thread, its controls and
// windows, its message box.
class TWinReportWindowSide : public IReportWindowSide {
public:
    explicit TWinReportWindowSide(HWND mainWindow);
    ~TWinReportWindowSide() override;

    bool IsMainThread() const override;
    bool MainWindowExists() const override;
    std::vector<std::pair<std::string, std::string>> FocusedControlChain() const override;
    std::vector<std::pair<std::string, bool>> OpenForms() const override;
    void ShowMessage(const std::string& text) override;

private:
    HWND m_hMainWindow;
    DWORD m_nThreadId;
    std::atomic<bool> m_bExists{true};
};

#pragma once
#include <windows.h>

#include <string>

#include "base/HelpText.h"
#include "winui/WinDialogWindow.h"
#include "winui/WinFonts.h"

// The window that explains the command line: a read-only text box with the
// usage and the exit codes, and "OK". It is the program's only window for "/?",
// so closing it ends the run. Window thread only.
class TWinHelpForm : public TWinDialogWindow {
public:
    explicit TWinHelpForm(const THelpText& help);

    // Shows the window centred on the primary monitor, the text box focused.
    void Show();
    // Whether the window has been closed (OK, Esc, the close box).
    bool Closed() const { return m_hWnd == nullptr; }

    HWND Memo() const { return m_hMemo; }      // mmoAjuda
    HWND Button() const { return m_hButton; }  // Button1

protected:
    void Layout(int dpi) override;
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void CreateMemo(DWORD bars);
    void PlaceMemo(int dpi);

    std::wstring m_strText;
    HWND m_hMemo = nullptr;
    HWND m_hButton = nullptr;
    TGdiFont m_font;
};

// Shows the help and runs the message loop until the window closes; returns
// the run's exit code, 0.
int RunWinHelpWindow(const THelpText& help);

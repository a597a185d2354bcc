#pragma once
#include <windows.h>

#include <functional>
#include <optional>
#include <string>

// A window of a dialog class of its own: DefDlgProc gives it the dialog
// keyboard (Tab, arrows, Enter on the default button, Esc) and keeps its
// focused control across activations, and each class's layout follows the
// monitor's resolution. The derived class lays itself out and handles its
// messages. Window thread only.
class TWinDialogWindow {
public:
    TWinDialogWindow(const TWinDialogWindow&) = delete;
    TWinDialogWindow& operator=(const TWinDialogWindow&) = delete;
    virtual ~TWinDialogWindow();

    HWND Window() const { return m_hWnd; }
    // The resolution the layout was last made for.
    int Dpi() const { return m_nDpi; }
    // Runs the thread's messages, with this window's dialog keyboard, until
    // `done` holds; the code of a WM_QUIT that came first, taken off the queue.
    std::optional<int> RunMessagesUntil(const std::function<bool()>& done);

protected:
    TWinDialogWindow() = default;
    // Registers `className` once and makes the window, client area
    // width x height of the 96-dpi layout; the caller then adds its controls.
    void CreateDialogWindow(const wchar_t* className, const std::wstring& caption, DWORD style, DWORD exStyle,
                            int width, int height);
    // Places everything for `dpi`, which it records.
    virtual void Layout(int dpi) = 0;
    // The derived class's messages; what it leaves goes to DefDlgProc.
    virtual LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);

    HWND m_hWnd = nullptr;
    int m_nDpi = 96;

private:
    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleCommon(UINT message, WPARAM wParam, LPARAM lParam);
};

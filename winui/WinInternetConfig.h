#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "winui/WinDialogWindow.h"
#include "winui/WinFonts.h"
#include "wizard/ProxyChoice.h"

// The Internet settings dialog of the Win32 window: no proxy, the browser's
// (the system's) proxy, an HTTP proxy or a SOCKS proxy, with optional
// credentials. Created once with the main window and reused: its controls keep
// their state between showings, also after Cancel. Window thread only.
class TWinInternetConfig : public TWinDialogWindow {
public:
    TWinInternetConfig();

    // Checks a choice and applies the enabling rule for it.
    void SelectChoice(TProxyChoice choice);
    TProxyChoice Choice() const;
    // Shows the dialog over `owner`, which stays disabled until it closes; true
    // when it closed with OK (Enter), false with Cancel (Esc, the close box).
    bool ShowModal(HWND owner);
    // The settings the checked choice stands for (ChosenProxySettings).
    TProxySettings ChosenSettings(const std::function<bool(std::string&, std::string&)>& systemProxy) const;

    // The dialog's controls, by the names the Qt dialog gives
    // them ("RadioNoProxy", "EdtProxyPort", "btnOK", ...); null for an unknown
    // name.
    HWND Control(const std::string& name) const;
    // The names of all controls, top of the stack first: those one can tab to
    // in tab order, then the labels, then the group box.
    std::vector<std::string> ControlNames() const;
    // A control's rectangle as it stands in the dialog's client area, in units
    // of 96 dots per inch.
    RECT LogicalRect(const std::string& name) const;

    // What ShowModal does before its loop: the language's texts, the enabling
    // rule, the layout at the owner's resolution and the place over it.
    void Prepare(HWND owner);

protected:
    void Layout(int dpi) override;
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    struct TControl {
        const char* strName;
        HWND hWnd;
    };

    void CreateControls();
    void ApplyLanguage();
    void ApplyEnabling();
    void CentreOn(HWND owner);
    void OnCommand(int id, int code);
    bool Checked(const char* name) const;
    std::string Text(const char* name) const;

    std::vector<TControl> m_lstControls;
    TGdiFont m_font;
    int m_nResult = 0;  // IDOK or IDCANCEL once the modal loop may end
};

#pragma once
#include <windows.h>

#include <string>

#include "winui/DpiScale.h"
#include "winui/WinPictures.h"

class TWizardWindow;

// What a frame may ask of the Win32 main window. Window thread only.
class IWinFrameHost {
public:
    virtual ~IWinFrameHost() = default;
    virtual HWND Handle() const = 0;
    // The wizard's logic: facts, installations, the steps of the buttons.
    virtual TWizardWindow& Logic() = 0;
    virtual const TWinPictures& Pictures() const = 0;
    // The monitor's scale of the window's 96-dpi geometry.
    virtual const TDpiScale& Scale() const = 0;
    // The Internet settings dialog.
    virtual void ConfigInternet() = 0;
    // The window's close request (with its question where one is due).
    virtual void RequestClose() = 0;
    // Lets Windows move the borderless window with the mouse.
    virtual void StartWindowMove() = 0;
    // The shell's "open" of a web address; failures go unnoticed.
    virtual void OpenAddress(const std::string& address) = 0;
    // A message with the information icon, owned by the window.
    virtual void ShowInfo(const std::string& caption, const std::string& text) = 0;
};

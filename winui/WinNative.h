#pragma once
#include <functional>

#include "winui/WinChild.h"
#include "winui/WinFonts.h"
#include "winui/WinText.h"

// A standard Windows control of a frame (an edit box, a radio button), with
// the frame's font, scaled with the monitor, and the key and focus events the
// frames react to.
class TWinNative : public TWinChild {
public:
    TWinNative(TWinFrame& frame, std::string name, const TRect& logical, const wchar_t* className, DWORD style,
               const TFontRequest& font);
    ~TWinNative() override;

    std::string Text() const;
    void SetText(const std::string& utf8);
    // Called with the virtual-key code when a key is released on the control.
    void SetOnKeyUp(std::function<void(WPARAM)> onKeyUp) { m_fnKeyUp = std::move(onKeyUp); }
    void SetOnFocus(std::function<void()> onFocus) { m_fnFocus = std::move(onFocus); }
    // Called with the notification code the control sends its frame (a click).
    void SetOnCommand(std::function<void(WORD)> onCommand) { m_fnCommand = std::move(onCommand); }
    void Command(WORD code) const {
        if (m_fnCommand) m_fnCommand(code);
    }
    // The colour behind the control, or none for the system's.
    void SetBackground(TRgb colour);
    HBRUSH Background() const { return m_hBackground; }
    void ApplyDpi() override;

private:
    static LRESULT CALLBACK Subclass(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                     DWORD_PTR self);

    TFontRequest m_FontRequest;
    TGdiFont m_Font;
    HBRUSH m_hBackground = nullptr;
    std::function<void(WPARAM)> m_fnKeyUp;
    std::function<void()> m_fnFocus;
    std::function<void(WORD)> m_fnCommand;
};

#pragma once
#include <windows.h>

#include <string>

#include "winui/DpiScale.h"
#include "wizard/FrameLayout.h"

class TWinFrame;

// One control of a frame: a child window placed by its 96-dpi rectangle, so
// that a change of monitor only scales it. `strName` is the control's name in
// the frame (the layout comparisons and error reports use it).
class TWinChild {
public:
    TWinChild(TWinFrame& frame, std::string name, const TRect& logical);
    virtual ~TWinChild();
    TWinChild(const TWinChild&) = delete;
    TWinChild& operator=(const TWinChild&) = delete;

    HWND Handle() const { return m_hWnd; }
    const std::string& Name() const { return m_strName; }
    const TRect& Logical() const { return m_Logical; }
    void SetLogical(const TRect& logical);
    void Move(int x, int y) { SetLogical({x, y, m_Logical.w, m_Logical.h}); }
    void Show(bool visible);
    bool Visible() const;
    // Scales the window (and what else depends on the monitor) anew.
    virtual void ApplyDpi();

protected:
    // Subclasses create their window in their constructor with this.
    void Create(const wchar_t* className, DWORD style, DWORD exStyle = 0, const wchar_t* text = L"");
    TWinFrame& Frame() const { return m_Frame; }
    const TDpiScale& Scale() const;

private:
    TWinFrame& m_Frame;
    std::string m_strName;
    TRect m_Logical;
    HWND m_hWnd = nullptr;
};

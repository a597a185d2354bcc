#pragma once
#include <functional>

#include "winui/WinDrawn.h"
#include "winui/WinFonts.h"
#include "winui/WinText.h"
#include "wizard/ButtonColours.h"

// The wizard's flat, owner-drawn push button: an outline until the mouse is
// over it, a filled face under the mouse, a darker face while pressed, its
// colours decided by TButtonColours as the Qt button's are. It never takes the
// keyboard focus. Its window text is its caption.
class TWinGradientButton : public TWinDrawn {
public:
    TWinGradientButton(TWinFrame& frame, std::string name, const TRect& logical, const TButtonStyle& style,
                       bool bold);

    void SetCaption(const std::string& utf8);
    const std::wstring& Caption() const { return m_strCaption; }
    void SetOnClick(std::function<void()> onClick) { m_fnClick = std::move(onClick); }
    // What the button draws now, for the surface behind its centre.
    TButtonFace Face() const;
    // Clicks it as the mouse would.
    void Click() { OnClick(); }
    void ApplyDpi() override;

    static constexpr int nRadius = 4;
    static constexpr int nSpacing = 6;

protected:
    void Paint(HDC dc, const RECT& client) override;
    void OnClick() override;

private:
    void PaintFace(HDC dc, const RECT& client, const TButtonFace& face) const;
    void PaintOutline(HDC dc, const RECT& client, const TButtonFace& face) const;
    void PaintCaption(HDC dc, const RECT& client, const TButtonFace& face) const;

    TButtonStyle m_Style;
    TFontRequest m_FontRequest;
    TGdiFont m_Font;
    std::wstring m_strCaption;
    std::function<void()> m_fnClick;
};

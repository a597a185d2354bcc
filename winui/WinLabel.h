#pragma once
#include <functional>

#include "winui/WinDrawn.h"
#include "winui/WinFonts.h"
#include "winui/WinText.h"

enum class TLabelAlign { Left, HCenter, Center };

// A transparent text label of a frame. As a link it turns bold and
// underlined with the hand cursor while the mouse is over it; any label may
// answer a click, or move the window when pressed (a headline).
class TWinLabel : public TWinDrawn {
public:
    TWinLabel(TWinFrame& frame, std::string name, const TRect& logical, const TFontRequest& font, TRgb colour,
              TLabelAlign align = TLabelAlign::Left, bool wordWrap = false);

    void SetText(const std::string& utf8);
    const std::wstring& Text() const { return m_strText; }
    // Sized to its text on one line.
    void AutoSize();
    // Word-wrapped: as high as its text needs, at least `minimum`.
    void FitHeight(int minimum);
    void SetLink(bool link) { m_bLink = link; }
    void SetOnClick(std::function<void()> onClick) { m_fnClick = std::move(onClick); }
    void SetDragsWindow(bool drags) { m_bDragsWindow = drags; }
    const TFontRequest& Font() const { return m_FontRequest; }
    void ApplyDpi() override;

protected:
    void Paint(HDC dc, const RECT& client) override;
    void OnMouseEnter() override;
    void OnMouseLeave() override;
    void OnLeftDown() override;
    void OnClick() override;
    HCURSOR Cursor() const override;

private:
    void SetUnderline(bool on);

    TFontRequest m_FontRequest;
    TGdiFont m_Font;
    TRgb m_Colour;
    TLabelAlign m_Align;
    bool m_bWordWrap;
    bool m_bLink = false;
    bool m_bDragsWindow = false;
    std::wstring m_strText;
    std::function<void()> m_fnClick;
};

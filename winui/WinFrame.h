#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/Texts.h"
#include "winui/WinFrameHost.h"
#include "winui/WinLabel.h"
#include "winui/WinPictures.h"
#include "winui/WinText.h"
#include "wizard/FrameLayout.h"
#include "wizard/WizardNavigation.h"

class TWinChild;
class TWinCloseButton;
class TWinGradientButton;
class TWinNative;

// A picture a frame draws on its own surface (not a control of its own): the
// lines, the logo, the alert sign.
struct TPictureItem {
    std::string strName;
    TPicture picture;
    TRect rect;
    bool bVisible = true;
};

// The base of every wizard frame of the Win32 window: a 600 x 250 child
// window (class "TWizardFrame", its text the frame's name) that draws the
// background picture and its own pictures, moves the window when pressed there,
// and holds the close picture at the top-right corner.
class TWinFrame {
public:
    TWinFrame(IWinFrameHost& host, int index);
    virtual ~TWinFrame();
    TWinFrame(const TWinFrame&) = delete;
    TWinFrame& operator=(const TWinFrame&) = delete;

    HWND Handle() const { return m_hWnd; }
    int Index() const { return m_nIndex; }
    const TDpiScale& Scale() const { return m_Host.Scale(); }

    // Puts the frame's texts for the language value in place and lays the
    // frame out; runs on every showing.
    virtual void Translate() = 0;
    void Show(bool visible);
    bool Visible() const;
    TWinCloseButton& CloseButton() const { return *m_imgClose; }

    // Every visible control and picture with its 96-dpi rectangle.
    std::vector<std::pair<std::string, TRect>> Layout() const;
    // The frame's surface (background and pictures) at device pixel (x, y)
    // onwards, into `dc` at its origin: what shows behind a control there.
    void PaintBackdrop(HDC dc, int x, int y, int w, int h);
    // The background picture's colour at a 96-dpi point of the frame.
    TRgb BackgroundPixel(int x, int y) const;
    void StartWindowMove() { m_Host.StartWindowMove(); }
    // Scales the frame and its controls for the window's monitor.
    void ApplyDpi();

protected:
    IWinFrameHost& Host() const { return m_Host; }
    TWizardWindow& Logic() const { return m_Host.Logic(); }
    // Carries out what the wizard decides for one of the frame's buttons.
    void Go(TWizardButton button, const std::string& text = {});

    template <class TControl, class... TArgs>
    TControl* Add(TArgs&&... args) {
        auto control = std::make_unique<TControl>(*this, std::forward<TArgs>(args)...);
        TControl* raw = control.get();
        m_lstChildren.push_back(std::move(control));
        return raw;
    }
    void Remove(const TWinChild* control);
    TWinLabel* NewLabel(std::string name, const TFontRequest& font, const TRect& rect,
                        TLabelAlign align = TLabelAlign::HCenter, bool wordWrap = false, bool dragsWindow = true);
    TWinLabel* NewLink(std::string name, const TFontRequest& font, int x, int y, TRgb colour);
    TWinGradientButton* NewButton(std::string name, const TRect& rect, bool bold = true);
    // A picture sized to itself when `rect` has no size.
    TPictureItem* NewPicture(std::string name, const TPicture& picture, const TRect& rect);
    // "Internet settings" at the bottom-left corner; opens the proxy dialog.
    TWinLabel* NewConfigInternetLink(TFrameTextKey key);
    TWinNative* NewEdit(std::string name, const TRect& rect, DWORD style);

    static bool ShouldSet(TFrameTextKey key);
    static std::string Text(TFrameTextKey key);
    static void ApplyText(TWinLabel* label, TFrameTextKey key);
    static void ApplyText(TWinGradientButton* button, TFrameTextKey key);
    // Centres the logo at the top and puts the lines picture at its left edge.
    void LayoutLogo(TPictureItem& logo, TPictureItem& lines);
    // The pictures moved: the surface is drawn anew.
    void InvalidateBackdrop();

private:
    template <class TOwner, LRESULT (TOwner::*)(UINT, WPARAM, LPARAM)>
    friend LRESULT CALLBACK OwnerWindowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void RebuildBackdrop();
    TWinNative* NativeControl(HWND control) const;
    HBRUSH ControlBackground(HWND control) const;

    IWinFrameHost& m_Host;
    int m_nIndex;
    HWND m_hWnd = nullptr;
    std::vector<std::unique_ptr<TWinChild>> m_lstChildren;
    std::vector<std::unique_ptr<TPictureItem>> m_lstPictures;
    TWinCloseButton* m_imgClose = nullptr;
    HBITMAP m_hBackdrop = nullptr;
    bool m_bBackdropStale = true;
    HBRUSH m_hEditBackground;
};

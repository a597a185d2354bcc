#pragma once
#include <windows.h>

#include <string>

// The window's message boxes, behind an interface so that tests answer them
// without a modal loop. Window thread only.
class IWinPrompts {
public:
    virtual ~IWinPrompts() = default;
    // A Yes/No question with the question icon; true for Yes.
    virtual bool AskYesNo(HWND owner, const std::string& caption, const std::string& text) = 0;
    // A message with the information icon.
    virtual void ShowInfo(HWND owner, const std::string& caption, const std::string& text) = 0;
    // A message with the error icon.
    virtual void ShowError(HWND owner, const std::string& caption, const std::string& text) = 0;
};

// The real boxes (MessageBoxW).
class TWinMessageBoxes : public IWinPrompts {
public:
    bool AskYesNo(HWND owner, const std::string& caption, const std::string& text) override;
    void ShowInfo(HWND owner, const std::string& caption, const std::string& text) override;
    void ShowError(HWND owner, const std::string& caption, const std::string& text) override;
};

#pragma once
#include <string>

class QWidget;

// The message boxes of the window, behind an interface so that tests answer
// them without a modal loop. Window thread only.
class IUserPrompts {
public:
    virtual ~IUserPrompts() = default;
    // A Yes/No question with the question icon; true for Yes.
    virtual bool AskYesNo(QWidget* owner, const std::string& caption, const std::string& text) = 0;
    // A message with the information icon.
    virtual void ShowInfo(QWidget* owner, const std::string& caption, const std::string& text) = 0;
    // A message with the error icon.
    virtual void ShowError(QWidget* owner, const std::string& caption, const std::string& text) = 0;
};

// The real boxes (QMessageBox).
class TMessageBoxPrompts : public IUserPrompts {
public:
    bool AskYesNo(QWidget* owner, const std::string& caption, const std::string& text) override;
    void ShowInfo(QWidget* owner, const std::string& caption, const std::string& text) override;
    void ShowError(QWidget* owner, const std::string& caption, const std::string& text) override;
};

#pragma once
// Doubles and a fixture for the Win32 window's tests: message boxes that answer
// from a script, the recording engine, and a main window built with them. The
// windows are real (the tests run on an X server under Wine).
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "support/RecordingEngine.h"
#include "winui/WinPrompts.h"
#include "winui/WinSetupForm.h"

class TScriptedPrompts : public IWinPrompts {
public:
    std::vector<bool> lstAnswers;       // answers to AskYesNo, in order; "No" when none is left
    std::vector<std::string> lstShown;  // "question|info|error: caption: text"
    bool AskYesNo(HWND owner, const std::string& caption, const std::string& text) override;
    void ShowInfo(HWND owner, const std::string& caption, const std::string& text) override;
    void ShowError(HWND owner, const std::string& caption, const std::string& text) override;
};

// Lets the window's thread handle what is queued.
void PumpMessages();
// A press and release of the left button at the middle of a control, as the
// mouse sends them.
void ClickWindow(HWND control);

class TWinFormTest : public ::testing::Test {
protected:
    void TearDown() override;
    // A form for `commandLine`, created; its engine records into m_Log.
    TWinSetupForm& MakeForm(std::vector<std::string> commandLine = {"OrlaDesk"});
    void Feed(TMessage msg);
    void Feed(uint32_t number, uint64_t wParam = 0, int64_t lParam = 0, std::string text = {},
              std::string text2 = {});
    void FeedInstalls(std::vector<std::string> installs);

    std::shared_ptr<TEngineLog> m_Log = std::make_shared<TEngineLog>();
    std::shared_ptr<TScriptedPrompts> m_Prompts = std::make_shared<TScriptedPrompts>();
    std::vector<std::string> m_lstOpened;
    int m_nQuits = 0;
    bool m_bDialogAnswer = false;
    std::unique_ptr<TWinSetupForm> m_Form;
};

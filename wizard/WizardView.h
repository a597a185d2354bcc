#pragma once
#include <cstdint>
#include <string>

#include "base/Texts.h"

// What the wizard's window logic (TWizardWindow) asks of the window that draws
// it: the Qt window, the Win32 window and the tests' views each implement it.
// Window thread only.
class IWizardView {
public:
    virtual ~IWizardView() = default;
    // Hides every frame; then, for an index of TWizardFrames, puts the frame's
    // language texts in place, lays it out and shows it with the window. Any
    // other index leaves the plain background. Ends with a repaint.
    virtual void ShowFrame(int index) = 0;
    // The visible frame, or nNoFrame.
    virtual int VisibleFrame() const = 0;
    // The progress frame's bar: done, then total (TProgressFigures::Report).
    virtual void ReportProgress(int64_t done, int64_t total) = 0;
    // The progress frame's status line.
    virtual void SetStatusText(const std::string& text) = 0;
    // The retry frame's message.
    virtual void SetRetryText(const std::string& text) = 0;
    // The aborted frame's message and support identifier.
    virtual void SetAbortTexts(const std::string& text, const std::string& identifier) = 0;
    // The list of installations changed: rebuild the select-install choices
    // from TWizardWindow::InstallList().
    virtual void InstallListChanged() = 0;
    // Another copy of the installer asked this window to come to the front.
    virtual void RaiseWindow() = 0;
    // A Yes/No question with the question icon, owned by the window; true for Yes.
    virtual bool AskYesNo(const TMessageBoxText& question) = 0;
    // The shell's "open" of a web address; failures go unnoticed.
    virtual void OpenAddress(const std::string& address) = 0;
    // Ends the window's message loop; the exit code is left as it is.
    virtual void EndLoop() = 0;
};

#pragma once
#include <string>
#include <utility>
#include <vector>

// What an error report needs from the window, which the core cannot see: the
// core never includes Qt, so the window implements this interface and registers
// it with SetReportWindowSide while it exists.
//
// The window's side of error reports, in full:
// - implement this interface and call SetReportWindowSide(this) once the main
//   window exists, SetReportWindowSide(nullptr) before it goes away;
// - route every exception that escapes an event handler of the window's thread
//   to TExceptionObject::ExceptionHandler(e) (for Qt: override
//   QApplication::notify, catch std::exception around the base call, hand it
//   over and return false; let anything else take its default course), and go on
//   with the event loop afterwards.
//
// Without a registered window side (headless runs, tests, workers before the
// window exists) reports have no control chain, no form list and " - " for the
// installer's memory, and the user message goes to stderr.
//
// Thread rule: IsMainThread may be called from any thread. FocusedControlChain,
// OpenForms and ShowMessage are called only on the window's thread (a report
// asks IsMainThread first). MainWindowExists may be called from any thread.
class IReportWindowSide {
public:
    virtual ~IReportWindowSide() = default;

    // True when the calling thread is the window's thread.
    virtual bool IsMainThread() const = 0;
    // True while the main window ("TSetupForm") exists.
    virtual bool MainWindowExists() const = 0;
    // The control with the keyboard focus, then its parent, and so on up to
    // the top-level window: (class name, object name) each. Empty when no
    // control has the focus.
    virtual std::vector<std::pair<std::string, std::string>> FocusedControlChain() const = 0;
    // Every open top-level form of the application in the toolkit's order:
    // (class name, visible). May throw; the report then ends the list there.
    virtual std::vector<std::pair<std::string, bool>> OpenForms() const = 0;
    // A modal message box with the application's title as caption, an
    // information icon and one OK button; returns when the user closed it.
    virtual void ShowMessage(const std::string& text) = 0;
};

// Registers the window's side for the reports of the process (null: none).
// The object must stay alive until it is unregistered.
void SetReportWindowSide(IReportWindowSide* pWindow);
IReportWindowSide* ReportWindowSide();

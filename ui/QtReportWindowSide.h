#pragma once
#include <QPointer>
#include <QWidget>

#include "diagnostics/ReportWindowSide.h"

// The window's part of error reports: which control has the focus, which forms
// are open, and the message box that tells the user a report was sent.
// Registered while the main window exists.
class TQtReportWindowSide : public IReportWindowSide {
public:
    // `mainWindow` may be null (no installer window, e.g. the help window).
    explicit TQtReportWindowSide(QWidget* mainWindow);

    bool IsMainThread() const override;
    bool MainWindowExists() const override;
    std::vector<std::pair<std::string, std::string>> FocusedControlChain() const override;
    std::vector<std::pair<std::string, bool>> OpenForms() const override;
    void ShowMessage(const std::string& text) override;

private:
    QPointer<QWidget> m_MainWindow;
};

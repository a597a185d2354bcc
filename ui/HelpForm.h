#pragma once
#include <QDialog>
#include <QPlainTextEdit>
#include <QPushButton>

#include "base/HelpText.h"

// The window that explains the command line: a read-only text box with the
// usage and the exit codes, and "OK". Closing it ends the run.
class THelpForm : public QDialog {
    Q_OBJECT
public:
    explicit THelpForm(const THelpText& help, QWidget* parent = nullptr);

    QPlainTextEdit* mmoAjuda;
    QPushButton* Button1;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void PlaceButton();
};

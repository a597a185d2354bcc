#include "ui/UserPrompts.h"

#include <QMessageBox>

#include "ui/ScreenText.h"

bool TMessageBoxPrompts::AskYesNo(QWidget* owner, const std::string& caption, const std::string& text) {
    return QMessageBox::question(owner, ScreenText(caption), ScreenText(text), QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

void TMessageBoxPrompts::ShowInfo(QWidget* owner, const std::string& caption, const std::string& text) {
    QMessageBox::information(owner, ScreenText(caption), ScreenText(text));
}

void TMessageBoxPrompts::ShowError(QWidget* owner, const std::string& caption, const std::string& text) {
    QMessageBox::critical(owner, ScreenText(caption), ScreenText(text));
}

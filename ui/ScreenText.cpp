#include "ui/ScreenText.h"

QString ScreenText(const std::string& text) {
    QString s = QString::fromStdString(text);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return s;
}

std::string Utf8(const QString& text) { return text.toStdString(); }

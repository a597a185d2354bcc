#pragma once
#include <QString>
#include <string>

// A UTF-8 text as the screen shows it: "\r\n" line breaks become one break.
QString ScreenText(const std::string& text);
// Back to UTF-8, as typed.
std::string Utf8(const QString& text);

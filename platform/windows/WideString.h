#pragma once
#include <string>
#include <string_view>

// The core speaks UTF-8; Windows' own calls speak UTF-16. These two are the
// only crossing points, so that no caller guesses at a code page.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

// The text of a Windows error code (GetLastError, an HRESULT or a status),
// without its trailing line break; "error N" when the system has none.
std::string WindowsErrorText(unsigned long nCode);

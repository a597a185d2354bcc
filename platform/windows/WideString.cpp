#include "platform/windows/WideString.h"

#include <windows.h>

std::wstring Widen(std::string_view utf8) {
    if (utf8.empty()) return {};
    int nChars = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(nChars), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), nChars);
    return wide;
}

std::string Narrow(std::wstring_view utf16) {
    if (utf16.empty()) return {};
    int nBytes = WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), nullptr, 0, nullptr,
                                     nullptr);
    std::string narrow(static_cast<size_t>(nBytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), narrow.data(), nBytes, nullptr,
                        nullptr);
    return narrow;
}

std::string WindowsErrorText(unsigned long nCode) {
    wchar_t* pText = nullptr;
    DWORD nLength = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, nCode, 0, reinterpret_cast<wchar_t*>(&pText), 0, nullptr);
    if (nLength == 0 || pText == nullptr) return "error " + std::to_string(nCode);
    std::wstring text(pText, nLength);
    LocalFree(pText);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.pop_back();
    return Narrow(text) + " (" + std::to_string(nCode) + ")";
}

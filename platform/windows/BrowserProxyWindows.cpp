#include "platform/windows/BrowserProxyWindows.h"

#include <windows.h>
#include <winhttp.h>

#include <cwctype>
#include <vector>

#include "platform/BrowserProxy.h"
#include "platform/windows/WideString.h"

namespace {

bool IsSeparator(wchar_t c) { return c == L';' || c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

std::vector<std::wstring_view> Entries(std::wstring_view list) {
    std::vector<std::wstring_view> entries;
    size_t nStart = 0;
    while (nStart < list.size()) {
        while (nStart < list.size() && IsSeparator(list[nStart])) ++nStart;
        size_t nEnd = nStart;
        while (nEnd < list.size() && !IsSeparator(list[nEnd])) ++nEnd;
        if (nEnd > nStart) entries.push_back(list.substr(nStart, nEnd - nStart));
        nStart = nEnd;
    }
    return entries;
}

std::wstring Lower(std::wstring_view text) {
    std::wstring lower(text);
    for (wchar_t& c : lower) c = static_cast<wchar_t>(std::towlower(c));
    return lower;
}

}  // namespace

std::string ProxyForHttps(std::wstring_view proxyList) {
    std::wstring_view https, any, http;
    for (std::wstring_view entry : Entries(proxyList)) {
        const size_t nEquals = entry.find(L'=');
        // "=" before any "://" names a scheme; an address itself may hold one in its credentials.
        const size_t nScheme = entry.find(L"://");
        if (nEquals == std::wstring_view::npos || (nScheme != std::wstring_view::npos && nScheme < nEquals)) {
            if (any.empty()) any = entry;
            continue;
        }
        const std::wstring scheme = Lower(entry.substr(0, nEquals));
        const std::wstring_view address = entry.substr(nEquals + 1);
        if (scheme == L"https" && https.empty()) https = address;
        if (scheme == L"http" && http.empty()) http = address;
    }
    return Narrow(!https.empty() ? https : !any.empty() ? any : http);
}

std::string BrowserProxyText() {
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config{};
    if (!WinHttpGetIEProxyConfigForCurrentUser(&config)) return {};
    std::string text;
    try {
        if (config.lpszProxy) text = ProxyForHttps(config.lpszProxy);
    } catch (...) {
        text.clear();
    }
    for (LPWSTR owned : {config.lpszAutoConfigUrl, config.lpszProxy, config.lpszProxyBypass})
        if (owned) GlobalFree(owned);
    return text;
}

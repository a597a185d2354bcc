#include "service/ProxySettings.h"

#include <algorithm>
#include <cctype>

#include "platform/BrowserProxy.h"

namespace {

std::string_view Trim(std::string_view s) {
    auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

std::string Lower(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

// "%40" and the like, as user names and passwords are written in proxy addresses.
std::string PercentDecoded(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out += static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace

TProxyAddress ParseProxyText(std::string_view text) {
    TProxyAddress result;
    std::string_view rest = Trim(text);

    if (auto pos = rest.find("://"); pos != std::string_view::npos) {
        result.strScheme = Lower(rest.substr(0, pos));
        rest.remove_prefix(pos + 3);
    }
    if (auto slash = rest.find('/'); slash != std::string_view::npos) rest = rest.substr(0, slash);
    // The last "@" ends the credentials: a password may itself hold one.
    if (auto at = rest.rfind('@'); at != std::string_view::npos) {
        std::string_view credentials = rest.substr(0, at);
        auto colon = credentials.find(':');
        result.strUserName = PercentDecoded(credentials.substr(0, colon));
        if (colon != std::string_view::npos) result.strPassword = PercentDecoded(credentials.substr(colon + 1));
        rest.remove_prefix(at + 1);
    }

    if (!rest.empty() && rest.front() == '[') {
        auto close = rest.find(']');
        if (close != std::string_view::npos) {
            result.strHost = std::string(rest.substr(0, close + 1));
            std::string_view after = rest.substr(close + 1);
            if (!after.empty() && after.front() == ':') result.strPort = std::string(after.substr(1));
            return result;
        }
    }
    auto colon = rest.find(':');
    if (colon == std::string_view::npos) return result;  // no ":": no host either
    result.strHost = std::string(rest.substr(0, colon));
    result.strPort = std::string(rest.substr(colon + 1));
    return result;
}

bool GetSystemProxy(std::string& host, std::string& port) {
    host.clear();
    port.clear();
    const std::string text = BrowserProxyText();
    if (text.empty()) return false;
    TProxyAddress address = ParseProxyText(text);
    host = std::move(address.strHost);
    port = std::move(address.strPort);
    return !host.empty() && !port.empty();
}

int32_t ProxyPortFromText(std::string_view port) {
    if (port.empty() || port.size() > 5) return 0;
    int32_t value = 0;
    for (char c : port) {
        if (c < '0' || c > '9') return 0;
        value = value * 10 + (c - '0');
    }
    return value <= 65535 ? value : 0;
}

TProxySettings SystemProxySettings(const std::function<bool(std::string&, std::string&)>& hostAndPort) {
    TProxySettings settings;
    std::string host, port;
    if (!hostAndPort(host, port)) return settings;
    settings.FHost = host;
    settings.FPort = ProxyPortFromText(port);
    const TProxyAddress address = ParseProxyText(BrowserProxyText());
    if (address.strHost != host) return settings;
    if (address.strScheme == "socks5" || address.strScheme == "socks5h") settings.FScheme = "socks5";
    settings.FUserName = address.strUserName;
    settings.FPassword = address.strPassword;
    return settings;
}

TProxySettings ProxyFromSystem() { return SystemProxySettings(GetSystemProxy); }

#pragma once
#include <functional>
#include <string>

// Stands in for GetSystemProxy in the Internet settings dialogs' tests: answers
// `host` and `port`, and true only when both are given, as the real one does.
inline std::function<bool(std::string&, std::string&)> SystemProxyAnswering(std::string host, std::string port) {
    return [host, port](std::string& h, std::string& p) {
        h = host;
        p = port;
        return !host.empty() && !port.empty();
    };
}

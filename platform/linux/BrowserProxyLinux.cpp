#include "platform/BrowserProxy.h"

#include <cstdlib>
#include <string_view>

// The first proxy variable that is set and not blank, in the order curl and
// most tools give them precedence for https traffic.
std::string BrowserProxyText() {
    for (const char* name : {"https_proxy", "HTTPS_PROXY", "http_proxy", "HTTP_PROXY"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && std::string_view(value).find_first_not_of(" \t\r\n") != std::string_view::npos)
            return value;
    }
    return {};
}

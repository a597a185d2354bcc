#include "diagnostics/ErrorReportDelivery.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "diagnostics/ErrorReportDeliverySystem.h"

namespace {

// The host part of an absolute URL, lower case, without brackets, port,
// credentials or a trailing dot; empty when `url` has no authority.
std::string UrlHost(std::string_view url) {
    const auto schemeEnd = url.find("://");
    if (schemeEnd == std::string_view::npos) return {};
    std::string_view authority = url.substr(schemeEnd + 3);
    authority = authority.substr(0, authority.find_first_of("/?#"));
    if (const auto at = authority.rfind('@'); at != std::string_view::npos) authority.remove_prefix(at + 1);
    std::string_view host;
    if (!authority.empty() && authority.front() == '[') {
        host = authority.substr(1, authority.find(']') - 1);
    } else {
        host = authority.substr(0, authority.find(':'));
    }
    std::string name(host);
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    if (!name.empty() && name.back() == '.') name.pop_back();
    return name;
}

bool HostIsReservedInvalid(const std::string& url) {
    const std::string name = UrlHost(url);
    return name == "invalid" || (name.size() > 8 && name.ends_with(".invalid"));
}

}  // namespace

long PostErrorReport(const TErrorReportPost& post) {
    if (HostIsReservedInvalid(post.strUrl))
        throw TReportDeliveryError("host of " + post.strUrl + " is under the reserved .invalid domain");
    return SendErrorReport(post);
}

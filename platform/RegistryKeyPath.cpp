#include "platform/RegistryKeyPath.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace {

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

bool IsRootName(const std::string& part, THiveRoot root) {
    if (root == THiveRoot::hrCurrentUser) return EqualsNoCase(part, "HKCU") || EqualsNoCase(part, "HKEY_CURRENT_USER");
    return EqualsNoCase(part, "HKLM") || EqualsNoCase(part, "HKEY_LOCAL_MACHINE");
}

}  // namespace

std::vector<std::string> RegistryKeyParts(const std::string& key, THiveRoot root) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= key.size()) {
        size_t end = key.find('\\', start);
        if (end == std::string::npos) end = key.size();
        if (end > start) parts.push_back(key.substr(start, end - start));
        start = end + 1;
    }
    if (!parts.empty() && IsRootName(parts.front(), root)) parts.erase(parts.begin());
    return parts;
}

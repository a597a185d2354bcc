#include "platform/ShellLink.h"

#include <cctype>
#include <sstream>
#include <string_view>

bool HasLinkExtension(const std::string& linkPath) {
    static constexpr std::string_view kExtension = ".lnk";
    if (linkPath.size() < kExtension.size()) return false;
    const std::string_view tail = std::string_view(linkPath).substr(linkPath.size() - kExtension.size());
    for (size_t i = 0; i < kExtension.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(tail[i])) != kExtension[i]) return false;
    return true;
}

std::vector<std::string> LinkArgumentWords(const std::string& arguments) {
    std::vector<std::string> words;
    std::istringstream in(arguments);
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

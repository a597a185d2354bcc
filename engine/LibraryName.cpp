#include "engine/LibraryName.h"

#include <algorithm>
#include <cctype>

bool IsLibraryFileName(std::string_view name) {
    constexpr std::string_view kSuffix = ".dll";
    if (name.size() < kSuffix.size()) return false;
    return std::equal(kSuffix.begin(), kSuffix.end(), name.end() - kSuffix.size(),
                      [](char wanted, char c) { return wanted == std::tolower(static_cast<unsigned char>(c)); });
}

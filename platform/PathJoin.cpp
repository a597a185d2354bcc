#include "platform/PathJoin.h"

#include <stdexcept>

namespace {

[[noreturn]] void ThrowInvalid() { throw std::runtime_error("Invalid characters in path"); }

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// The characters Windows refuses in a file name. ':' is among them, which also
// rules out drive letters and alternate data streams.
bool IsInvalidChar(char c) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 32) return true;
    switch (c) {
        case '<': case '>': case ':': case '"': case '|': case '?': case '*':
            return true;
        default:
            return false;
    }
}

}  // namespace

std::filesystem::path ToNativeRelative(std::string_view backslashPath) {
    if (!backslashPath.empty() && IsSeparator(backslashPath.front())) ThrowInvalid();
    for (char c : backslashPath)
        if (IsInvalidChar(c)) ThrowInvalid();

    std::filesystem::path result;
    size_t start = 0;
    while (start <= backslashPath.size()) {
        size_t end = start;
        while (end < backslashPath.size() && !IsSeparator(backslashPath[end])) ++end;
        const std::string_view part = backslashPath.substr(start, end - start);
        if (part == "..") ThrowInvalid();
        // Release names are UTF-8 on every system; a plain string would be read
        // byte by byte where the native path is wide.
        if (!part.empty() && part != ".") result /= std::u8string(part.begin(), part.end());
        start = end + 1;
    }
    return result;
}

std::filesystem::path JoinPath(const std::filesystem::path& base, std::string_view relative) {
    const std::filesystem::path rel = ToNativeRelative(relative);
    return rel.empty() ? base : base / rel;
}

std::string WithTrailingSeparator(std::string folder) {
    if (!folder.empty() && !IsPathSeparator(folder.back())) folder += kNativeSeparator;
    return folder;
}

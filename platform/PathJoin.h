#pragma once
#include <filesystem>
#include <string>
#include <string_view>

// Relative paths from the release description and from zip entries are written
// with back-slashes (or forward slashes) and are untrusted data. This is the one
// place where they become native paths, and it refuses anything that could
// leave the folder it is joined to.

// Splits on '\\' and '/', drops empty and "." components and returns the rest
// as a native relative path. Throws std::runtime_error("Invalid characters in
// path") for an absolute path (a leading separator or a drive letter), a ".."
// component, or a character that a Windows path may not hold (NUL and the other
// control characters, < > : " | ? *), so the same release behaves alike on both
// systems.
std::filesystem::path ToNativeRelative(std::string_view backslashPath);

// base / ToNativeRelative(relative); an empty relative path gives base. The
// result never lies outside base (symbolic links inside base aside).
std::filesystem::path JoinPath(const std::filesystem::path& base, std::string_view relative);

// The separator of native paths ('\\' on Windows, '/' elsewhere), for the
// folders the engine keeps as text: registry values, shortcuts, log lines.
inline constexpr char kNativeSeparator = static_cast<char>(std::filesystem::path::preferred_separator);
// Whether `c` separates folders in a native path (on Windows '/' does too).
constexpr bool IsPathSeparator(char c) { return c == '/' || c == kNativeSeparator; }
// `folder` ending in one separator: the native one is added unless it ends in one already.
std::string WithTrailingSeparator(std::string folder);

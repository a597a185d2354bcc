#pragma once
#include <cstdint>
#include <string_view>

// What the systems' HTTP clients share below the public interface.

// A hostile or broken Content-Length must not make a sink allocate gigabytes
// up front; its buffer still grows past this when the body really is larger.
constexpr uint64_t kMaxBodyReserve = 64ull * 1024 * 1024;

// The value of a Content-Length header (surrounding blanks allowed); -1 when
// it is not a plain decimal number that fits.
int64_t ParseContentLength(std::string_view value);

// `text` without the blanks and line ends around it.
std::string_view TrimHeaderText(std::string_view text);

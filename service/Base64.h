#pragma once
#include <optional>
#include <string>
#include <string_view>

// Standard base64 (RFC 4648, "+" and "/", padded), as keys and signatures of
// releases are written.
std::string Base64Encode(std::string_view bytes);

// The bytes of `text`, or nothing when it is not canonical padded base64: a
// character outside the alphabet, a length that is not a multiple of four,
// misplaced padding or padding bits that are not zero. White space is not
// skipped; the caller trims the line first.
std::optional<std::string> Base64Decode(std::string_view text);

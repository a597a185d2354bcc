#pragma once
#include <chrono>
#include <string>

// How long a signed document stays valid when nobody says otherwise.
inline constexpr unsigned kDefaultExpiryDays = 30;

// `now` plus `days` whole days, in UTC, as "YYYY-MM-DDTHH:MM:SSZ" (the one form
// of RFC 3339 that signed documents use).
std::string ExpiryStamp(std::chrono::system_clock::time_point now, unsigned days);

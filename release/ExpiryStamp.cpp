#include "release/ExpiryStamp.h"

#include <ctime>
#include <stdexcept>

std::string ExpiryStamp(std::chrono::system_clock::time_point now, unsigned days) {
    const std::time_t expires = std::chrono::system_clock::to_time_t(now + std::chrono::days(days));
    std::tm utc{};
    if (!gmtime_r(&expires, &utc)) throw std::runtime_error("the expiry date cannot be represented");
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

#pragma once
#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "service/ReleaseKeys.h"
#include "service/VantixVersion.h"

// What a signed release must satisfy besides its signature, for one query.
struct TReleaseCheck {
    TReleaseKeys Keys;  // not enforced: the unsigned contract, nothing is checked
    // The query asked, in the terms a signed document states what it answers.
    TVantixVersionAnswers Expected;
    // "a.b.c.d" of the installation an update or repair works on; empty for a
    // new installation, or when the installed version cannot be read.
    std::string strInstalledVersion;
};

// How far the machine's clock may be behind the signer's before a document
// that has just expired is refused.
inline constexpr std::chrono::minutes kExpiryClockSkew{5};

// Checks a document whose signature has verified, in this order: it answers
// the expected query, it has not expired at `now`, it is not older than the
// installed version, and every file states the SHA-256 of its content and of
// its package. Throws TReleaseRefused with the reason of the first failure.
void CheckSignedRelease(const TVantixVersion& version, const TReleaseCheck& check,
                        std::chrono::system_clock::time_point now);

// A UTC time written exactly "YYYY-MM-DDTHH:MM:SSZ"; nothing for any other form
// or a date that does not exist.
std::optional<std::chrono::system_clock::time_point> ParseUtcTime(std::string_view text);

// Whether `text` is 64 lower-case hexadecimal digits, as SHA-256 digests are written.
bool IsSha256Hex(std::string_view text);

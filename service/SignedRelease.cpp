#include "service/SignedRelease.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "service/ReleaseRefusal.h"

namespace {

using TVersionParts = std::array<int64_t, 4>;

std::string AnswersText(const TVantixVersionAnswers& answers) {
    return answers.strProduct + " " + answers.strChannel + " " + answers.strLocale;
}

void CheckAnswers(const TVantixVersion& version, const TVantixVersionAnswers& expected) {
    const TVantixVersionAnswers& answers = version.Answers;
    if (answers.strProduct != expected.strProduct || answers.strChannel != expected.strChannel ||
        answers.strLocale != expected.strLocale)
        throw TReleaseRefused(refusal::kAnotherQuery, "the document answers \"" + AnswersText(answers) + "\", not \"" +
                                                          AnswersText(expected) + "\"");
}

void CheckExpiry(const std::string& expires, std::chrono::system_clock::time_point now) {
    const auto end = ParseUtcTime(expires);
    if (!end) throw TReleaseRefused(refusal::kExpired, "the document has no expiry time it can be held to");
    if (now > *end + kExpiryClockSkew) throw TReleaseRefused(refusal::kExpired, "the document expired at " + expires);
}

std::optional<TVersionParts> ParseDotted(const std::string& text) {
    TVersionParts parts{};
    const char* first = text.data();
    const char* last = first + text.size();
    for (size_t i = 0; i < parts.size(); ++i) {
        auto [end, error] = std::from_chars(first, last, parts[i]);
        if (error != std::errc() || (i + 1 < parts.size() ? end == last || *end != '.' : end != last))
            return std::nullopt;
        first = end + 1;
    }
    return parts;
}

void CheckNotOlder(const TVantixVersion& version, const std::string& installed) {
    if (installed.empty()) return;
    const auto current = ParseDotted(installed);
    if (!current) return;
    const TVersionParts offered{version.nMajor, version.nMinor, version.nRelease, version.nBuild};
    if (offered < *current)
        throw TReleaseRefused(refusal::kOlderThanInstalled,
                              "the document offers " + std::to_string(version.nMajor) + "." +
                                  std::to_string(version.nMinor) + "." + std::to_string(version.nRelease) + "." +
                                  std::to_string(version.nBuild) + ", older than the installed " + installed);
}

void CheckFileHashes(const TVantixVersion& version) {
    for (const auto& file : version.lstFiles) {
        if (!IsSha256Hex(file->strPackageSha256))
            throw TReleaseRefused(refusal::kPackageHash, "no package SHA-256 for \"" + file->strFile + "\"");
        if (!IsSha256Hex(file->strSha256))
            throw TReleaseRefused(refusal::kFileHash, "no SHA-256 for \"" + file->strFile + "\"");
    }
}

// Digits of a fixed-width field; -1 when any is not a digit.
int Field(std::string_view text, size_t pos, size_t width) {
    int value = 0;
    for (size_t i = pos; i < pos + width; ++i) {
        if (text[i] < '0' || text[i] > '9') return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

}  // namespace

void CheckSignedRelease(const TVantixVersion& version, const TReleaseCheck& check,
                        std::chrono::system_clock::time_point now) {
    CheckAnswers(version, check.Expected);
    CheckExpiry(version.strExpires, now);
    CheckNotOlder(version, check.strInstalledVersion);
    CheckFileHashes(version);
}

std::optional<std::chrono::system_clock::time_point> ParseUtcTime(std::string_view text) {
    using namespace std::chrono;
    // YYYY-MM-DDTHH:MM:SSZ
    if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
        text[16] != ':' || text[19] != 'Z')
        return std::nullopt;
    const int fields[] = {Field(text, 0, 4),  Field(text, 5, 2),  Field(text, 8, 2),
                          Field(text, 11, 2), Field(text, 14, 2), Field(text, 17, 2)};
    if (std::any_of(std::begin(fields), std::end(fields), [](int f) { return f < 0; })) return std::nullopt;
    const year_month_day date{year{fields[0]}, month{static_cast<unsigned>(fields[1])},
                              day{static_cast<unsigned>(fields[2])}};
    if (!date.ok() || fields[3] > 23 || fields[4] > 59 || fields[5] > 59) return std::nullopt;
    return sys_days{date} + hours{fields[3]} + minutes{fields[4]} + seconds{fields[5]};
}

bool IsSha256Hex(std::string_view text) {
    return text.size() == 64 && std::all_of(text.begin(), text.end(),
                                            [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

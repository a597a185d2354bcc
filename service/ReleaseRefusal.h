#pragma once
#include <stdexcept>
#include <string>

// A release that failed one of the checks of a signed release. Nothing it
// describes may be downloaded, deleted, placed or registered. `Reason` is one
// of the words below, for the log line and the report; the message says what
// exactly was wrong.
class TReleaseRefused : public std::runtime_error {
public:
    TReleaseRefused(std::string reason, const std::string& detail)
        : std::runtime_error(detail), m_strReason(std::move(reason)) {}
    const std::string& Reason() const { return m_strReason; }

    // The text of a refusal in the log, the run's report and the query's outcome.
    std::string Text() const { return "Refused=\"" + m_strReason + "\" Reason=\"" + what() + "\""; }

private:
    std::string m_strReason;
};

namespace refusal {
inline constexpr const char* kSignature = "signature";
inline constexpr const char* kExpired = "expired";
inline constexpr const char* kOlderThanInstalled = "older than installed";
inline constexpr const char* kAnotherQuery = "answers another query";
inline constexpr const char* kPackageHash = "package hash";
inline constexpr const char* kFileHash = "file hash";
}  // namespace refusal

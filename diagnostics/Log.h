#pragma once
#include <chrono>
#include <filesystem>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/AppendOnlyFile.h"
#include "platform/LogLine.h"

// The per-run log file. Every thread writes through AppendLog; each entry is one
// write(2) under the log lock, so entries never interleave and the times in the
// file never go backwards. The log lock is innermost: nothing is locked while
// holding it.
class TLogFile : public ILogLineWriter {
public:
    TLogFile() = default;
    ~TLogFile();
    TLogFile(const TLogFile&) = delete;
    TLogFile& operator=(const TLogFile&) = delete;

    // Opens "<folder>OrlaDesk dd-mm-yyyy_hh-nn-ss.log". A file or link already
    // under that name (possibly planted by another user in a shared temporary
    // folder) is removed, never followed; the new file is created exclusively
    // with mode 0600 and locked against other writers. A log that a running
    // copy holds is never removed: a copy started in the same second writes
    // "<folder>OrlaDesk dd-mm-yyyy_hh-nn-ss (2).log" instead, and so on up to
    // kMaxCopiesPerSecond. Returns false when no file could be made;
    // AppendLog then writes nothing.
    bool Open(const std::filesystem::path& folder, std::chrono::system_clock::time_point start);
    static constexpr int kMaxCopiesPerSecond = 9;
    // Opens exactly this path (tests and tools).
    bool OpenPath(const std::filesystem::path& path);
    void Close();

    // One entry: "hh:nn:ss.zzz: " + text + CR LF, UTF-8. Never throws. Texts
    // carry outside data (the release's fields, file names, server status
    // texts), so control characters are written escaped ("\r", "\n", "\t",
    // "\xHH"): nothing in a text can end the line or forge another entry.
    void Append(std::string_view text) noexcept override;
    // One entry of several lines: the first carries the time, the others are
    // continuation lines without one; each line is escaped as above.
    void AppendLines(const std::vector<std::string>& lines) noexcept override;

    std::filesystem::path Path() const;
    bool IsOpen() const;

    static std::string FileNameFor(std::chrono::system_clock::time_point start);

private:
    void Write(std::span<const std::string_view> lines) noexcept;

    mutable std::mutex m_csLog;
    TAppendOnlyFile m_File;
    std::filesystem::path m_Path;
};

// The process-wide log, opened at start-up by the entry point. It is the
// writer of AppendLog and AppendLogLines (platform/LogLine.h) from its first use on.
TLogFile& ProcessLog();

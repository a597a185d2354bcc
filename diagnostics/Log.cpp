#include "diagnostics/Log.h"

#include <cstdio>
#include <ctime>

#include "base/EditionConstants.h"

namespace {

// localtime_r takes glibc's time zone lock on every call, and seven threads
// logging five lines per file queued up on it. Each thread keeps the local
// time of the last second it converted; the offset from UTC changes only
// between seconds, so the result is the same.
std::tm LocalTime(std::chrono::system_clock::time_point t) {
    thread_local std::time_t s_CachedSecond = -1;
    thread_local std::tm s_Cached{};
    const std::time_t tt = std::chrono::system_clock::to_time_t(t);
    if (tt != s_CachedSecond) {
        localtime_r(&tt, &s_Cached);
        s_CachedSecond = tt;
    }
    return s_Cached;
}

std::string TimeStamp(std::chrono::system_clock::time_point t) {
    std::tm tm = LocalTime(t);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count() % 1000;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%03d", tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int>(ms));
    return buf;
}

void AppendEscaped(std::string& entry, std::string_view text) {
    for (char c : text) {
        const auto code = static_cast<unsigned char>(c);
        if (code >= 0x20 && code != 0x7F) {
            entry += c;
            continue;
        }
        switch (c) {
            case '\r':
                entry += "\\r";
                break;
            case '\n':
                entry += "\\n";
                break;
            case '\t':
                entry += "\\t";
                break;
            default: {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\x%02X", code);
                entry += hex;
            }
        }
    }
}

}  // namespace

std::string TLogFile::FileNameFor(std::chrono::system_clock::time_point start) {
    std::tm tm = LocalTime(start);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%02d-%02d-%04d_%02d-%02d-%02d", tm.tm_mday, tm.tm_mon + 1, tm.tm_year + 1900,
                  tm.tm_hour, tm.tm_min, tm.tm_sec);
    return std::string(edition::strProductRegName) + " " + buf + ".log";
}

bool TLogFile::Open(const std::filesystem::path& folder, std::chrono::system_clock::time_point start) {
    // A copy started in the same second finds the name held by the first; it
    // may be the one that goes on to install, so it needs a record of its own.
    const std::string name = FileNameFor(start);
    const std::string stem = name.substr(0, name.size() - std::string_view(".log").size());
    for (int copy = 1; copy <= kMaxCopiesPerSecond; ++copy) {
        const std::filesystem::path path = folder / (copy == 1 ? name : stem + " (" + std::to_string(copy) + ").log");
        if (OpenPath(path)) return true;
        if (!TAppendOnlyFile::IsHeld(path)) return false;
    }
    return false;
}

bool TLogFile::OpenPath(const std::filesystem::path& path) {
    std::lock_guard lock(m_csLog);
    m_Path = path;
    return m_File.Create(path);
}

void TLogFile::Close() {
    std::lock_guard lock(m_csLog);
    m_File.Close();
}

void TLogFile::Append(std::string_view text) noexcept { Write(std::span(&text, 1)); }

void TLogFile::AppendLines(const std::vector<std::string>& lines) noexcept {
    if (lines.empty()) return Append("");
    try {
        const std::vector<std::string_view> views(lines.begin(), lines.end());
        Write(views);
    } catch (...) {
        // Out of memory while gathering the lines: the entry is lost.
    }
}

void TLogFile::Write(std::span<const std::string_view> lines) noexcept {
    try {
        std::lock_guard lock(m_csLog);
        if (!m_File.IsOpen()) return;
        std::string entry = TimeStamp(std::chrono::system_clock::now());
        entry += ": ";
        for (std::string_view line : lines) {
            AppendEscaped(entry, line);
            entry += "\r\n";
        }
        m_File.Append(entry);
    } catch (...) {
        // Out of memory while building the entry: the entry is lost.
    }
}

std::filesystem::path TLogFile::Path() const {
    std::lock_guard lock(m_csLog);
    return m_Path;
}

bool TLogFile::IsOpen() const {
    std::lock_guard lock(m_csLog);
    return m_File.IsOpen();
}

TLogFile::~TLogFile() { RemoveLogLineWriter(this); }

TLogFile& ProcessLog() {
    static TLogFile log;
    static const bool installed = (SetLogLineWriter(&log), true);
    (void)installed;
    return log;
}

#pragma once
#include <cstdint>
#include <filesystem>
#include <span>
#include <system_error>

// A file read once from start to end, a buffer at a time (hashing a
// downloaded file). Not synchronised: one thread reads it.
class TSequentialFile {
public:
    TSequentialFile() = default;
    ~TSequentialFile();
    TSequentialFile(const TSequentialFile&) = delete;
    TSequentialFile& operator=(const TSequentialFile&) = delete;

    // False, with `ec` set, when the file cannot be opened for reading.
    bool Open(const std::filesystem::path& path, std::error_code& ec) noexcept;
    // Reads up to buffer.size() bytes: how many it read, 0 at the end, or -1
    // with `ec` set. A read interrupted by a signal is tried again.
    int64_t Read(std::span<char> buffer, std::error_code& ec) noexcept;

private:
    // A file descriptor on POSIX systems, a HANDLE on Windows.
    std::intptr_t m_hFile = -1;
};

// A file's size and last modification, links followed.
struct TFileFacts {
    uint64_t nSize = 0;
    int64_t nModifiedSeconds = 0;  // since 1970-01-01 UTC
};
// False, with `ec` set, when the file cannot be asked.
bool ReadFileFacts(const std::filesystem::path& path, TFileFacts& facts, std::error_code& ec) noexcept;

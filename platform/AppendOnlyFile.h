#pragma once
#include <cstdint>
#include <filesystem>
#include <string_view>

// A file that one process creates for itself and only appends to, held
// against other writers for as long as it is open (a per-run log). Not
// synchronised: its owner serialises the calls.
class TAppendOnlyFile {
public:
    TAppendOnlyFile() = default;
    ~TAppendOnlyFile();
    TAppendOnlyFile(const TAppendOnlyFile&) = delete;
    TAppendOnlyFile& operator=(const TAppendOnlyFile&) = delete;

    // Removes whatever sits under the name without following it, then creates
    // the file exclusively, readable and writable by the current user only,
    // and locks it exclusively: a link planted in a shared folder is never
    // written through. A file that a running process holds (IsHeld) is never
    // removed; Create then fails. Closes any file opened before.
    bool Create(const std::filesystem::path& path);
    void Close() noexcept;
    bool IsOpen() const noexcept { return m_hFile != kNoFile; }

    // Appends the bytes in one write, so that concurrent appenders of the same
    // file never interleave. A short or failed write loses them; the caller
    // goes on.
    void Append(std::string_view bytes) noexcept;

    // Whether a running process holds the file open through Create.
    static bool IsHeld(const std::filesystem::path& path);

private:
    // A file descriptor on POSIX systems, a HANDLE on Windows.
    static constexpr std::intptr_t kNoFile = -1;
    std::intptr_t m_hFile = kNoFile;
};

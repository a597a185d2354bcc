#pragma once
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

// An output file could not be created or put in place (typically the product
// is running and holds it). The caller may try again later.
class EFCreateError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A file being written under a temporary name beside its final one
// ("<final>.XXXXXX<suffix>", unpredictable, created exclusively). Commit puts
// it under the final name in one step; otherwise the destructor removes it, so
// a failed or interrupted write never leaves a truncated file under a real name.
//
// Threads: one thread at a time.
class TPartFile {
public:
    // Throws EFCreateError when the file cannot be created. `nPermissions` are
    // the file's permission bits where the system has them.
    TPartFile(const std::filesystem::path& finalPath, std::string_view suffix, uint32_t nPermissions);
    ~TPartFile();
    TPartFile(const TPartFile&) = delete;
    TPartFile& operator=(const TPartFile&) = delete;

    const std::string& Name() const { return m_strName; }
    uint64_t Written() const { return m_nWritten; }

    // Throws std::runtime_error when the disk refuses the data.
    void Write(const char* data, size_t size);
    // Makes the data durable before the rename (throws when the disk reports
    // a write error).
    void Flush();
    // Starts the disk writes now, leaving a later flush little to wait for.
    // Only a hint: a failure changes nothing.
    void StartWriteback() noexcept;
    // Closes the file and renames it over the final name. Throws
    // std::runtime_error when closing fails, EFCreateError when the rename does.
    void Commit();

private:
    std::filesystem::path m_FinalPath;
    std::string m_strName;
    intptr_t m_nHandle = -1;
    uint64_t m_nWritten = 0;
    bool m_bCommitted = false;
};

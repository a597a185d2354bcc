#include "platform/SequentialFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

TSequentialFile::~TSequentialFile() {
    if (m_hFile >= 0) ::close(static_cast<int>(m_hFile));
}

bool TSequentialFile::Open(const std::filesystem::path& path, std::error_code& ec) noexcept {
    if (m_hFile >= 0) ::close(static_cast<int>(m_hFile));
    m_hFile = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (m_hFile < 0) {
        ec.assign(errno, std::generic_category());
        return false;
    }
    ec.clear();
    return true;
}

int64_t TSequentialFile::Read(std::span<char> buffer, std::error_code& ec) noexcept {
    if (m_hFile < 0) {
        ec = std::make_error_code(std::errc::bad_file_descriptor);
        return -1;
    }
    for (;;) {
        const ssize_t nRead = ::read(static_cast<int>(m_hFile), buffer.data(), buffer.size());
        if (nRead >= 0) return nRead;
        if (errno == EINTR) continue;
        ec.assign(errno, std::generic_category());
        return -1;
    }
}

bool ReadFileFacts(const std::filesystem::path& path, TFileFacts& facts, std::error_code& ec) noexcept {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        ec.assign(errno, std::generic_category());
        return false;
    }
    ec.clear();
    facts.nSize = static_cast<uint64_t>(info.st_size);
    facts.nModifiedSeconds = info.st_mtim.tv_sec;
    return true;
}

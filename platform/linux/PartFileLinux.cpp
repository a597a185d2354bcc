#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/PartFile.h"

namespace {

std::string ErrnoText(int error) {
    char buffer[256];
    return strerror_r(error, buffer, sizeof(buffer));
}

}  // namespace

TPartFile::TPartFile(const std::filesystem::path& finalPath, std::string_view suffix, uint32_t nPermissions)
    : m_FinalPath(finalPath) {
    std::string name = finalPath.string() + ".XXXXXX" + std::string(suffix);
    const int fd = ::mkstemps(name.data(), static_cast<int>(suffix.size()));
    if (fd < 0) throw EFCreateError("Cannot create file \"" + finalPath.string() + "\". " + ErrnoText(errno));
    m_nHandle = fd;
    m_strName = name;
    ::fchmod(fd, static_cast<mode_t>(nPermissions));
}

TPartFile::~TPartFile() {
    if (m_nHandle >= 0) ::close(static_cast<int>(m_nHandle));
    if (!m_bCommitted) ::unlink(m_strName.c_str());
}

void TPartFile::Write(const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(static_cast<int>(m_nHandle), data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw std::runtime_error("Cannot write file \"" + m_strName + "\". " + ErrnoText(errno));
        }
        data += n;
        size -= static_cast<size_t>(n);
        m_nWritten += static_cast<uint64_t>(n);
    }
}

void TPartFile::Flush() {
    if (::fdatasync(static_cast<int>(m_nHandle)) != 0)
        throw std::runtime_error("Cannot flush file \"" + m_strName + "\". " + ErrnoText(errno));
}

void TPartFile::StartWriteback() noexcept {
    (void)::sync_file_range(static_cast<int>(m_nHandle), 0, 0, SYNC_FILE_RANGE_WRITE);
}

void TPartFile::Commit() {
    const int fd = static_cast<int>(m_nHandle);
    m_nHandle = -1;
    if (::close(fd) != 0) throw std::runtime_error("Cannot close file \"" + m_strName + "\". " + ErrnoText(errno));
    if (::rename(m_strName.c_str(), m_FinalPath.c_str()) != 0)
        throw EFCreateError("Cannot create file \"" + m_FinalPath.string() + "\". " + ErrnoText(errno));
    m_bCommitted = true;
}

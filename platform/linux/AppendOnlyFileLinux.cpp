#include "platform/AppendOnlyFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

// Each holder keeps its file under an exclusive flock, so a shared lock that
// would block means a running process holds it.
bool HeldByAnother(const std::filesystem::path& path) {
    int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    bool held = flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    close(fd);
    return held;
}

int CreateExclusive(const std::filesystem::path& path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0) {
        // That process's record would be lost; this one goes without a file instead.
        if (HeldByAnother(path)) return -1;
        unlink(path.c_str());
    }
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return -1;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

TAppendOnlyFile::~TAppendOnlyFile() { Close(); }

bool TAppendOnlyFile::Create(const std::filesystem::path& path) {
    Close();
    m_hFile = CreateExclusive(path);
    return IsOpen();
}

void TAppendOnlyFile::Close() noexcept {
    if (IsOpen()) close(static_cast<int>(m_hFile));
    m_hFile = kNoFile;
}

void TAppendOnlyFile::Append(std::string_view bytes) noexcept {
    if (!IsOpen()) return;
    ssize_t written = write(static_cast<int>(m_hFile), bytes.data(), bytes.size());
    (void)written;
}

bool TAppendOnlyFile::IsHeld(const std::filesystem::path& path) { return HeldByAnother(path); }

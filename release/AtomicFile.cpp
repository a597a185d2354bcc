#include "release/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <system_error>

namespace {

std::atomic<unsigned> g_nTempCounter{0};

std::runtime_error IoError(const std::string& what, const std::filesystem::path& path, int err) {
    return std::runtime_error(what + " \"" + path.string() + "\": " + std::strerror(err));
}

void WriteAll(int fd, std::string_view data, const std::filesystem::path& path) {
    while (!data.empty()) {
        ssize_t wrote = ::write(fd, data.data(), data.size());
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote < 0) throw IoError("cannot write", path, errno);
        data.remove_prefix(static_cast<std::size_t>(wrote));
    }
}

}  // namespace

void WriteFileAtomically(const std::filesystem::path& target, std::string_view data) {
    std::filesystem::create_directories(target.parent_path());
    const std::filesystem::path temp =
        target.parent_path() / ("." + target.filename().string() + ".tmp-" + std::to_string(::getpid()) + "-" +
                                std::to_string(g_nTempCounter.fetch_add(1)));
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) throw IoError("cannot create", temp, errno);
    try {
        WriteAll(fd, data, temp);
        // Durable before it becomes visible: a crash must not leave an empty
        // file under a final name that later runs would trust and reuse.
        if (::fchmod(fd, 0644) != 0) throw IoError("cannot set the mode of", temp, errno);
        if (::fsync(fd) != 0) throw IoError("cannot flush", temp, errno);
        if (::close(fd) != 0) {
            fd = -1;
            throw IoError("cannot close", temp, errno);
        }
        fd = -1;
        if (::rename(temp.c_str(), target.c_str()) != 0) throw IoError("cannot rename into", target, errno);
    } catch (...) {
        if (fd >= 0) ::close(fd);
        ::unlink(temp.c_str());
        throw;
    }
}

bool FileHoldsExactly(const std::filesystem::path& target, std::string_view data) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(target, ec)) return false;
    if (std::filesystem::file_size(target, ec) != data.size() || ec) return false;
    return ReadWholeFile(target) == data;
}

std::string ReadWholeFile(const std::filesystem::path& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw IoError("cannot read", path, errno);
    std::string content;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_size > 0) content.reserve(static_cast<std::size_t>(st.st_size));
    char block[1 << 16];
    for (;;) {
        ssize_t got = ::read(fd, block, sizeof block);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            int err = errno;
            ::close(fd);
            throw IoError("cannot read", path, err);
        }
        if (got == 0) break;
        content.append(block, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return content;
}

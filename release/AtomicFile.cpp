#include "release/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <system_error>
#include <vector>

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

// Writes `data` to a hidden temporary name beside `target`, durable and with
// `mode`, and gives that name; nothing is left behind on failure.
std::filesystem::path WriteTemporary(const std::filesystem::path& target, std::string_view data, unsigned mode) {
    // A bare file name lies in the current folder, which exists.
    if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path());
    const std::filesystem::path temp =
        target.parent_path() / ("." + target.filename().string() + ".tmp-" + std::to_string(::getpid()) + "-" +
                                std::to_string(g_nTempCounter.fetch_add(1)));
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0) throw IoError("cannot create", temp, errno);
    try {
        WriteAll(fd, data, temp);
        // Durable before it becomes visible: a crash must not leave an empty
        // file under a final name that later runs would trust and reuse.
        if (::fchmod(fd, mode) != 0) throw IoError("cannot set the mode of", temp, errno);
        if (::fsync(fd) != 0) throw IoError("cannot flush", temp, errno);
        if (::close(fd) != 0) {
            fd = -1;
            throw IoError("cannot close", temp, errno);
        }
        return temp;
    } catch (...) {
        if (fd >= 0) ::close(fd);
        ::unlink(temp.c_str());
        throw;
    }
}

}  // namespace

void WriteFileAtomically(const std::filesystem::path& target, std::string_view data) {
    const std::filesystem::path temp = WriteTemporary(target, data, 0644);
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        throw IoError("cannot rename into", target, err);
    }
}

void CreateFileAtomically(const std::filesystem::path& target, std::string_view data, unsigned mode) {
    const std::filesystem::path temp = WriteTemporary(target, data, mode);
    // link() fails when the name exists: unlike rename(), it never replaces.
    const int linked = ::link(temp.c_str(), target.c_str());
    const int err = errno;
    ::unlink(temp.c_str());
    if (linked != 0 && err == EEXIST) throw std::runtime_error("\"" + target.string() + "\" exists already");
    if (linked != 0) throw IoError("cannot create", target, err);
}

bool FileHoldsExactly(const std::filesystem::path& target, std::string_view data) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(target, ec)) return false;
    if (std::filesystem::file_size(target, ec) != data.size() || ec) return false;
    return ReadWholeFile(target) == data;
}

std::string ReadWholeFile(const std::filesystem::path& path) {
    std::string content;
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (!ec) content.reserve(static_cast<std::size_t>(size));
    ReadFileInBlocks(path, [&](std::string_view block) { content.append(block); });
    return content;
}

void ReadFileInBlocks(const std::filesystem::path& path, const std::function<void(std::string_view)>& consume) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw IoError("cannot read", path, errno);
    std::vector<char> block(1 << 20);
    try {
        for (;;) {
            ssize_t got = ::read(fd, block.data(), block.size());
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) throw IoError("cannot read", path, errno);
            if (got == 0) break;
            consume(std::string_view(block.data(), static_cast<std::size_t>(got)));
        }
    } catch (...) {
        ::close(fd);
        throw;
    }
    ::close(fd);
}

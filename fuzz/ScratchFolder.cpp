#include "fuzz/ScratchFolder.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

// Folders between the top and the scratch folder: a name that climbs out by
// up to this many levels lands in a watched folder.
constexpr int kLevelsAbove = 4;

constexpr uint32_t kWatchedEvents =
    IN_CREATE | IN_MOVED_TO | IN_MOVED_FROM | IN_MODIFY | IN_CLOSE_WRITE | IN_DELETE | IN_ATTRIB;

[[noreturn]] void ThrowErrno(const std::string& what) { throw std::runtime_error(what + ": " + std::strerror(errno)); }

fs::path MakeTop() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/vxfuzz-extract-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) ThrowErrno("mkdtemp " + pattern);
    return pattern;
}

}  // namespace

TScratchFolder::TScratchFolder() : m_Top(MakeTop()) {
    m_nInotify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_nInotify < 0) ThrowErrno("inotify_init1");
    fs::path folder = m_Top;
    Watch(folder);
    for (int level = 1; level < kLevelsAbove; ++level) {
        folder /= "level" + std::to_string(level);
        fs::create_directory(folder);
        Watch(folder);
    }
    m_Scratch = folder / "scratch";
}

TScratchFolder::~TScratchFolder() {
    if (m_nInotify >= 0) ::close(m_nInotify);
    std::error_code ec;
    fs::remove_all(m_Top, ec);
}

void TScratchFolder::Watch(const fs::path& folder) {
    const int wd = ::inotify_add_watch(m_nInotify, folder.c_str(), kWatchedEvents);
    if (wd < 0) ThrowErrno("inotify_add_watch " + folder.string());
    m_Watched[wd] = folder;
}

const fs::path& TScratchFolder::Fresh() {
    fs::remove_all(m_Scratch);
    fs::create_directory(m_Scratch);
    ReadEvents();
    return m_Scratch;
}

std::vector<std::string> TScratchFolder::ChangesOutside() { return ReadEvents(); }

std::vector<std::string> TScratchFolder::ReadEvents() {
    std::vector<std::string> changes;
    alignas(inotify_event) char buffer[16 * 1024];
    for (;;) {
        const ssize_t n = ::read(m_nInotify, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) return changes;
        if (n <= 0) ThrowErrno("read inotify");
        for (ssize_t pos = 0; pos < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + pos);
            const std::string name = event->len > 0 ? event->name : "";
            changes.push_back(m_Watched[event->wd].string() + "/" + name);
            pos += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
}

std::vector<fs::path> TScratchFolder::NonFolders() const {
    std::vector<fs::path> found;
    for (const auto& entry : fs::recursive_directory_iterator(m_Scratch))
        if (!entry.is_directory() || entry.is_symlink()) found.push_back(entry.path());
    return found;
}

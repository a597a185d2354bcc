#include "support/TreeSnapshot.h"

#include <sys/stat.h>

std::map<std::string, std::string> SnapshotTree(const std::filesystem::path& root) {
    std::map<std::string, std::string> entries;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        struct stat st {};
        lstat(entry.path().c_str(), &st);
        entries[std::filesystem::relative(entry.path(), root).string()] =
            std::to_string(st.st_size) + "/" + std::to_string(st.st_mtim.tv_sec) + "." +
            std::to_string(st.st_mtim.tv_nsec) + "/" + std::to_string(st.st_ino);
    }
    return entries;
}

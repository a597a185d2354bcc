#include "app/StartupFolder.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <stdexcept>

#include "base/EditionConstants.h"
#include "diagnostics/Log.h"
#include "platform/FileSystem.h"
#include "platform/Folders.h"

namespace {

std::runtime_error CannotCreate(const std::string& folder) {
    return std::runtime_error("Cannot create folder " + folder + "/: " + std::strerror(errno));
}

// mkdir(2) never follows a link in the last component: a name that exists in
// any form is EEXIST, and mkdtemp(3) then picks a fresh random name.
std::string MakeFolderExclusively(const std::string& folder) {
    if (mkdir(folder.c_str(), 0700) == 0) return folder;
    if (errno != EEXIST) throw CannotCreate(folder);
    std::string unique = folder + "_XXXXXX";
    if (mkdtemp(unique.data()) == nullptr) throw CannotCreate(unique);
    return unique;
}

}  // namespace

TStartupFolder::TStartupFolder(std::chrono::system_clock::time_point start)
    : m_strPath(UserTempFolder() + edition::strCompanyName + "_" + StartStamp(start) + "/") {}

std::string TStartupFolder::StartStamp(std::chrono::system_clock::time_point start) {
    std::time_t tt = std::chrono::system_clock::to_time_t(start);
    std::tm tm{};
    localtime_r(&tt, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d_%H-%M-%S", &tm);
    return buf;
}

// Without the trailing separator, which would make lstat(2) follow a link.
std::string TStartupFolder::FolderName() const { return m_strPath.substr(0, m_strPath.size() - 1); }

void TStartupFolder::Create() {
    try {
        const std::string folder = MakeFolderExclusively(FolderName());
        m_strPath = folder + "/";
        struct stat st {};
        if (lstat(folder.c_str(), &st) != 0) throw CannotCreate(folder);
        m_nDevice = st.st_dev;
        m_nInode = st.st_ino;
        m_bCreated = true;
    } catch (const std::exception& e) {
        AppendLog(std::string("Installer.DPR: Except: ") + e.what());
    }
}

void TStartupFolder::Remove() {
    if (!m_bCreated) return;
    m_bCreated = false;
    const std::string folder = FolderName();
    struct stat st {};
    if (lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_dev != m_nDevice || st.st_ino != m_nInode) {
        AppendLog("Installer.DPR: Folder " + m_strPath + " is no longer the one this run created; left in place");
        return;
    }
    DeleteFolderSilently(folder);
}

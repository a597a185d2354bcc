#include "platform/PrivateFolder.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "platform/FileSystem.h"

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

std::string TPrivateFolder::Create(const std::string& folder) {
    const std::string made = MakeFolderExclusively(folder);
    struct stat st {};
    if (lstat(made.c_str(), &st) != 0) throw CannotCreate(made);
    m_strFolder = made;
    m_nVolume = static_cast<uint64_t>(st.st_dev);
    m_nFile = static_cast<uint64_t>(st.st_ino);
    m_bMade = true;
    return made;
}

TPrivateFolder::TRemoval TPrivateFolder::Remove() {
    if (!m_bMade) return TRemoval::NothingMade;
    m_bMade = false;
    // lstat: the name itself, never what a link there points at.
    struct stat st {};
    if (lstat(m_strFolder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || static_cast<uint64_t>(st.st_dev) != m_nVolume ||
        static_cast<uint64_t>(st.st_ino) != m_nFile)
        return TRemoval::NoLongerOurs;
    DeleteFolderSilently(m_strFolder);
    return TRemoval::Removed;
}

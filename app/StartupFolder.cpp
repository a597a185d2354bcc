#include "app/StartupFolder.h"

#include <ctime>
#include <exception>

#include "base/EditionConstants.h"
#include "diagnostics/Log.h"
#include "platform/Folders.h"
#include "platform/PathJoin.h"

TStartupFolder::TStartupFolder(std::chrono::system_clock::time_point start)
    : m_strPath(UserTempFolder() + edition::strCompanyName + "_" + StartStamp(start) + kNativeSeparator) {}

std::string TStartupFolder::StartStamp(std::chrono::system_clock::time_point start) {
    std::time_t tt = std::chrono::system_clock::to_time_t(start);
    std::tm tm{};
    localtime_r(&tt, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d_%H-%M-%S", &tm);
    return buf;
}

// Without the trailing separator, which would make the file system follow a link.
std::string TStartupFolder::FolderName() const { return m_strPath.substr(0, m_strPath.size() - 1); }

void TStartupFolder::Create() {
    try {
        m_strPath = m_Folder.Create(FolderName()) + kNativeSeparator;
    } catch (const std::exception& e) {
        AppendLog(std::string("Installer.DPR: Except: ") + e.what());
    }
}

void TStartupFolder::Remove() {
    if (m_Folder.Remove() == TPrivateFolder::TRemoval::NoLongerOurs)
        AppendLog("Installer.DPR: Folder " + m_strPath + " is no longer the one this run created; left in place");
}

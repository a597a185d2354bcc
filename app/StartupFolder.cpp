#include "app/StartupFolder.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <stdexcept>

#include "EditionConstants.h"
#include "diagnostics/Log.h"
#include "platform/FileSystem.h"
#include "platform/Folders.h"

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

void TStartupFolder::Create() {
    try {
        if (mkdir(m_strPath.c_str(), 0700) != 0)
            throw std::runtime_error("Cannot create folder " + m_strPath + ": " + std::strerror(errno));
    } catch (const std::exception& e) {
        AppendLog(std::string("Installer.DPR: Except: ") + e.what());
    }
}

void TStartupFolder::Remove() { DeleteFolderSilently(m_strPath); }

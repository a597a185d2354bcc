#include "engine/FilePlacement.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

#include "diagnostics/Log.h"
#include "engine/LibraryName.h"
#include "workers/PackageUnpacker.h"
#include "platform/PathJoin.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kCrLf = "\r\n";

// rename(2) and friends take a folder without its trailing separator.
fs::path FolderPath(const std::string& folder) {
    std::string path = folder;
    while (path.size() > 1 && IsPathSeparator(path.back())) path.pop_back();
    return path;
}

bool HasDotComponent(const fs::path& path) {
    for (const auto& part : path)
        if (part == "." || part == "..") return true;
    return false;
}

// Why `folder` is not a direct child of `company`, or empty when it is one.
std::string WhyNotOwnFolder(const fs::path& folder, const fs::path& company) {
    if (HasDotComponent(folder)) return "the path holds a \".\" or \"..\" component";
    if (folder.parent_path().lexically_normal() != company.lexically_normal())
        return "not a folder of " + company.string();
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(folder, ec))) return "a symbolic link";
    return "";
}

bool PathExists(const fs::path& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

bool IsRealFolder(const fs::path& path) {
    std::error_code ec;
    return fs::is_directory(fs::symlink_status(path, ec));
}

// "<name>.XXXXXX.vxpart" (the extract workers unpack each file so beside its
// final name), the six characters being letters and digits.
bool IsPartFileName(const std::string& name) {
    const std::string_view suffix = kPartFileSuffix;
    const size_t nRandom = 6;
    if (name.size() <= suffix.size() + nRandom + 1 || !name.ends_with(suffix)) return false;
    const size_t dot = name.size() - suffix.size() - nRandom - 1;
    if (name[dot] != '.') return false;
    return std::all_of(name.begin() + static_cast<long>(dot) + 1, name.end() - static_cast<long>(suffix.size()),
                       [](unsigned char c) { return std::isalnum(c) != 0; });
}

struct TFolderEntries {
    std::vector<std::string> lstFiles;    // names, sorted
    std::vector<std::string> lstFolders;  // names, sorted
};

// The direct entries of a folder, split into sub-folders and everything else.
// A symbolic link counts as a file, so it is moved or removed, never followed.
TFolderEntries ListFolder(const std::string& folder) {
    TFolderEntries entries;
    for (const auto& entry : fs::directory_iterator(FolderPath(folder))) {
        std::error_code ec;
        const std::string name = entry.path().filename().string();
        if (fs::is_directory(entry.symlink_status(ec)))
            entries.lstFolders.push_back(name);
        else
            entries.lstFiles.push_back(name);
    }
    std::sort(entries.lstFiles.begin(), entries.lstFiles.end());
    std::sort(entries.lstFolders.begin(), entries.lstFolders.end());
    return entries;
}

}  // namespace

const std::vector<std::string>& TFilePlacement::KeptDatabaseFolders() {
    static const std::vector<std::string> kept{"cotationgrid", "desktops", "assetidlists"};
    return kept;
}

TFilePlacement::TFilePlacement(IPlacementFileSystem& fileSystem, std::string strCompanyFolder)
    : m_FileSystem(fileSystem), m_strCompanyFolder(std::move(strCompanyFolder)) {}

void TFilePlacement::CheckOwnFolder(const std::string& strFolder) const {
    const std::string reason = WhyNotOwnFolder(FolderPath(strFolder), FolderPath(m_strCompanyFolder));
    if (reason.empty()) return;
    const std::string text = "TFilePlacement: Refused Folder=" + strFolder + " Error=" + reason;
    AppendLog(text);
    throw TPlacementRefused(text);
}

TPlacementResult TFilePlacement::PlaceNewInstallation(const std::string& strTempFolder,
                                                      const std::string& strInstallFolder) {
    CheckOwnFolder(strTempFolder);
    CheckOwnFolder(strInstallFolder);
    TPlacementResult result;
    AppendLog("TInstallerThread.WMUpdateProgress : New Install Path=" + strInstallFolder);
    std::error_code ec;
    if (m_FileSystem.RenameFolder(FolderPath(strTempFolder), FolderPath(strInstallFolder), ec))
        result.bOk = true;
    else if (DeleteAndInstall(strInstallFolder, strTempFolder, result.strErrorText))
        result.bOk = true;
    else
        result.bOk = RecursiveDeleteAndInstall(strInstallFolder, strTempFolder, strTempFolder, result.strErrorText);
    if (PathExists(FolderPath(strTempFolder))) m_FileSystem.DeleteFolder(FolderPath(strTempFolder));
    return result;
}

bool TFilePlacement::DeleteAndInstall(const std::string& strInstallFolder, const std::string& strTempFolder,
                                      std::string& strErrorText) {
    CheckOwnFolder(strTempFolder);
    CheckOwnFolder(strInstallFolder);
    AppendLog("TInstallerThread.DeleteAndInstall InstallFolder=" + strInstallFolder + " Temp=" + strTempFolder);
    try {
        // The deletion's own result does not matter: whatever is left of the
        // old folder makes the rename fail, and the caller falls back.
        m_FileSystem.DeleteFolder(FolderPath(strInstallFolder));
        std::error_code ec;
        return m_FileSystem.RenameFolder(FolderPath(strTempFolder), FolderPath(strInstallFolder), ec);
    } catch (const std::exception& e) {
        strErrorText += std::string("TInstallerThread.DeleteAndInstall Exception: ") + e.what() + kCrLf;
        return false;
    }
}

bool TFilePlacement::RecursiveDeleteAndInstall(const std::string& strInstallFolder, const std::string& strCurrFolder,
                                               const std::string& strTempFolder, std::string& strErrorText) {
    CheckOwnFolder(strTempFolder);
    CheckOwnFolder(strInstallFolder);
    AppendLog("TInstallerThread.RecursiveDeleteAndInstall: InstallFolder=" + strInstallFolder +
              " CurrFolder=" + strCurrFolder + " Temp=" + strTempFolder);
    const std::string installFolder = WithTrailingSeparator(strInstallFolder);
    const std::string currFolder = WithTrailingSeparator(strCurrFolder);
    const std::string tempFolder = WithTrailingSeparator(strTempFolder);
    TFolderEntries entries;
    try {
        entries = ListFolder(currFolder);
    } catch (const std::exception& e) {
        strErrorText += std::string("TInstallerThread.RecursiveDeleteAndInstall Exception: ") + e.what() + kCrLf;
        return false;
    }

    bool ok = true;
    for (const std::string& name : entries.lstFiles) {
        const std::string source = currFolder + name;
        const std::string dest = installFolder + source.substr(tempFolder.size());
        AppendLog("TInstallerThread.RecursiveDeleteAndInstall: Copying to=" + dest + " Source=" + source);
        std::error_code ec;
        if (!PathExists(dest)) {
            m_FileSystem.CreateFolders(fs::path(dest).parent_path(), ec);
        } else if (!m_FileSystem.DeleteFile(dest, ec)) {
            strErrorText += "Falha ao deletar: " + source + kCrLf;
            ok = false;
            continue;
        }
        // A failed move is a failure too: the new copy is about to be deleted
        // with the temporary folder and the old one is already gone.
        if (!m_FileSystem.MoveFile(source, dest, ec)) {
            strErrorText += "Falha ao mover: " + source + " Error=" + ec.message() + kCrLf;
            ok = false;
        }
    }
    for (const std::string& name : entries.lstFolders) {
        const std::string subFolder = currFolder + name + kNativeSeparator;
        // Every sub-folder is placed, even after an earlier failure: its files
        // would otherwise be deleted with it below.
        const bool subOk = RecursiveDeleteAndInstall(installFolder, subFolder, tempFolder, strErrorText);
        ok = ok && subOk;
        m_FileSystem.DeleteFolder(FolderPath(subFolder));
    }
    return ok;
}

void TFilePlacement::MoveFolder(const std::string& strFrom, const std::string& strTo) {
    const fs::path from = FolderPath(strFrom);
    const fs::path to = FolderPath(strTo);
    if (!IsRealFolder(from)) throw std::runtime_error("Folder not found: " + from.string());
    if (PathExists(to)) throw std::runtime_error("Destination already exists: " + to.string());
    std::error_code ec;
    if (!m_FileSystem.CreateFolders(to.parent_path(), ec)) throw std::runtime_error(ec.message());
    if (!m_FileSystem.RenameFolder(from, to, ec)) throw std::runtime_error(ec.message());
}

// True unless a folder that exists could not be moved aside.
bool TFilePlacement::MoveAside(const std::string& strFolder) {
    bool ok = true;
    for (const std::string& name : KeptDatabaseFolders()) {
        const std::string source = strFolder + "database/" + name;
        try {
            MoveFolder(source, strFolder + "database_backup/" + name);
        } catch (const std::exception& e) {
            AppendLog("BackupAndDeleteDatabaseFiles: Move (" + source + " Error=" + e.what());
            if (PathExists(FolderPath(source))) ok = false;
        }
    }
    return ok;
}

// True unless something set aside could not be moved back.
bool TFilePlacement::MoveBack(const std::string& strFolder) {
    bool ok = true;
    for (const std::string& name : KeptDatabaseFolders()) {
        const std::string source = strFolder + "database_backup/" + name;
        try {
            MoveFolder(source, strFolder + "database/" + name);
        } catch (const std::exception& e) {
            AppendLog("BackupAndDeleteDatabaseFiles: Restore (" + strFolder + "database/" + name +
                      " Error=" + e.what());
            if (PathExists(FolderPath(source))) ok = false;
        }
    }
    return ok;
}

// A run that stopped between setting the user data aside and restoring it
// leaves the only copy in "database_backup": bring it home before that folder
// is cleared.
void TFilePlacement::RecoverInterruptedBackup(const std::string& strFolder) {
    for (const std::string& name : KeptDatabaseFolders()) {
        const std::string source = strFolder + "database_backup/" + name;
        const std::string dest = strFolder + "database/" + name;
        if (!IsRealFolder(FolderPath(source)) || PathExists(FolderPath(dest))) continue;
        try {
            MoveFolder(source, dest);
            AppendLog("BackupAndDeleteDatabaseFiles: Recovered (" + dest + ") from database_backup");
        } catch (const std::exception& e) {
            AppendLog("BackupAndDeleteDatabaseFiles: Recover (" + dest + " Error=" + e.what());
        }
    }
}

bool TFilePlacement::BackupAndDeleteDatabaseFiles(const std::string& strFolder) {
    CheckOwnFolder(strFolder);
    const std::string folder = WithTrailingSeparator(strFolder);
    const fs::path backup = FolderPath(folder + "database_backup");
    // Whether "database_backup" holds the only copy of some user data.
    bool bBackupHoldsData = false;

    if (PathExists(backup)) {
        RecoverInterruptedBackup(folder);
        for (const std::string& name : KeptDatabaseFolders())
            if (PathExists(backup / name) && !PathExists(FolderPath(folder + "database/" + name)))
                bBackupHoldsData = true;
        if (bBackupHoldsData)
            AppendLog(
                "BackupAndDeleteDatabaseFiles: delete database_backup before backup Error=it holds user data "
                "that could not be recovered");
        else if (!m_FileSystem.DeleteFolder(backup))
            AppendLog("BackupAndDeleteDatabaseFiles: delete database_backup before backup Error=" + backup.string() +
                      " could not be deleted");
    }

    const bool bAllAside = MoveAside(folder);

    bool a = false;
    if (bAllAside)
        a = m_FileSystem.DeleteFolder(FolderPath(folder + "database"));
    else
        AppendLog("BackupAndDeleteDatabaseFiles: database folder kept, a user-data folder could not be set aside");

    if (!MoveBack(folder)) bBackupHoldsData = true;

    if (bBackupHoldsData) {
        AppendLog("BackupAndDeleteDatabaseFiles: delete database_backup Error=" + backup.string() +
                  " kept, it holds user data that could not be restored");
        return false;
    }
    if (PathExists(backup) && !m_FileSystem.DeleteFolder(backup)) {
        AppendLog("BackupAndDeleteDatabaseFiles: delete database_backup Error=" + backup.string() +
                  " could not be deleted");
        return false;
    }
    return a;
}

bool TFilePlacement::DeleteInterruptedPartFiles(const std::string& strInstallFolder) {
    CheckOwnFolder(strInstallFolder);
    std::vector<fs::path> parts;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(FolderPath(strInstallFolder), ec), end; !ec && it != end; it.increment(ec))
        if (it->is_regular_file(ec) && !it->is_symlink(ec) && IsPartFileName(it->path().filename().string()))
            parts.push_back(it->path());
    if (ec && ec != std::errc::no_such_file_or_directory)
        AppendLog("TInstallerThread.DeleteInterruptedPartFiles: Folder=" + strInstallFolder + " Error=" + ec.message());
    bool ok = !ec || ec == std::errc::no_such_file_or_directory;
    for (const fs::path& part : parts) {
        std::error_code error;
        const bool deleted = m_FileSystem.DeleteFile(part, error);
        AppendLog("TInstallerThread.DeleteInterruptedPartFiles: File=" + part.string() +
                  (deleted ? "" : " Error=" + error.message()));
        ok = ok && deleted;
    }
    return ok;
}

bool TFilePlacement::DeleteObsoleteDlls(const std::string& strInstallFolder, const std::vector<std::string>& lstKeep) {
    CheckOwnFolder(strInstallFolder);
    const std::string dir = WithTrailingSeparator(strInstallFolder);
    if (!IsRealFolder(FolderPath(dir))) return true;
    TFolderEntries entries;
    try {
        entries = ListFolder(dir);
    } catch (const std::exception& e) {
        AppendLog(std::string("TInstallerThread.DeleteObsoleteDlls: Exception: ") + e.what());
        return false;
    }
    bool ok = true;
    for (const std::string& name : entries.lstFiles) {
        if (!IsLibraryFileName(name)) continue;
        if (std::find(lstKeep.begin(), lstKeep.end(), name) != lstKeep.end()) continue;
        std::error_code ec;
        if (!m_FileSystem.DeleteFile(dir + name, ec)) {
            AppendLog("TInstallerThread.DeleteObsoleteDlls: File=" + dir + name + " Error=" + ec.message());
            ok = false;
        }
    }
    return ok;
}

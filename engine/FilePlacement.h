#pragma once
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "engine/PlacementFileSystem.h"

// Outcome of putting a new installation in place. `strErrorText` holds one
// line (ending in CR LF) per problem; the engine reports it silently when the
// placement failed.
struct TPlacementResult {
    bool bOk = false;
    std::string strErrorText;
};

// The file operations around a run: moving a new installation from the
// temporary install folder into the installation folder, and preparing an
// installation folder for an update (user data of the database folder set
// aside, libraries the new release no longer has removed).
//
// Thrown, before anything is touched, when an operation is asked to work on a
// folder that is not its own (see TFilePlacement).
class TPlacementRefused : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Folders are native paths written with "/" and ending in "/", as the engine
// keeps them; log lines carry them as given. Engine thread only.
//
// Every folder an operation works on (installation folder, temporary install
// folder) must be, as written, a direct child of the company folder without a
// "." or ".." component, and must not be a symbolic link: deleting or renaming
// anything else could take every installation and the user's data with it.
// Otherwise the operation logs the refusal and throws TPlacementRefused
// without deleting or moving anything. No other failure throws: failures are
// logged and reported in the results.
class TFilePlacement {
public:
    // The user-data folders of the database folder that survive an update, in
    // the order they are set aside and restored.
    static const std::vector<std::string>& KeptDatabaseFolders();

    // `strCompanyFolder`: ".../Corvane/", the parent of every folder worked on.
    TFilePlacement(IPlacementFileSystem& fileSystem, std::string strCompanyFolder);

    // Moves `strTempFolder` into `strInstallFolder`: one rename when possible,
    // else the old folder deleted and the rename retried, else file by file.
    // The temporary folder is gone afterwards whatever the outcome.
    TPlacementResult PlaceNewInstallation(const std::string& strTempFolder, const std::string& strInstallFolder);

    // Deletes the installation folder, then renames the temporary folder to it.
    // True when the rename succeeded; a failure adds a line to `strErrorText`.
    bool DeleteAndInstall(const std::string& strInstallFolder, const std::string& strTempFolder,
                          std::string& strErrorText);

    // The file-by-file fallback: each file of `strCurrFolder` (a folder inside
    // `strTempFolder`) replaces its namesake in `strInstallFolder`, then each
    // sub-folder is handled the same way and deleted with what is left in it.
    // A file whose old copy cannot be deleted keeps the old copy and adds
    // "Falha ao deletar: <source>" to `strErrorText`; the result is then false.
    bool RecursiveDeleteAndInstall(const std::string& strInstallFolder, const std::string& strCurrFolder,
                                   const std::string& strTempFolder, std::string& strErrorText);

    // Empties the database folder of `strFolder` (an installation folder)
    // except the kept user-data folders, which are moved aside to
    // "database_backup" and back. The database folder is kept whole when a
    // user-data folder that exists could not be moved aside, and
    // "database_backup" is kept when something in it could not be moved back,
    // so no step ever deletes the only copy of the user's data.
    bool BackupAndDeleteDatabaseFiles(const std::string& strFolder);

    // Deletes the top-level files of `strInstallFolder` whose names end in
    // ".dll" (in any letter case, as the pattern "*.dll" matches on Windows)
    // and are not in `lstKeep` (exact comparison). Sub-folders are never
    // examined. False when a deletion failed.
    bool DeleteObsoleteDlls(const std::string& strInstallFolder, const std::vector<std::string>& lstKeep);

    // Deletes, anywhere under `strInstallFolder`, the half-unpacked files that
    // a run ended by force (killed, power lost) left behind; nothing else
    // ever completes or removes them. False when a deletion failed.
    bool DeleteInterruptedPartFiles(const std::string& strInstallFolder);

private:
    // Throws TPlacementRefused unless `strFolder` is one of the company
    // folder's own children.
    void CheckOwnFolder(const std::string& strFolder) const;
    // Moves one folder tree to `strTo`, creating the parents of `strTo`. Throws
    // std::runtime_error when the source is missing, the destination exists or
    // the rename fails.
    void MoveFolder(const std::string& strFrom, const std::string& strTo);
    bool MoveAside(const std::string& strFolder);
    bool MoveBack(const std::string& strFolder);
    void RecoverInterruptedBackup(const std::string& strFolder);

    IPlacementFileSystem& m_FileSystem;
    std::string m_strCompanyFolder;
};

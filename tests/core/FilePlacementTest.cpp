#include <algorithm>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/DownloadPlan.h"
#include "engine/FilePlacement.h"
#include "engine/PlacementFileSystem.h"
#include "platform/PathJoin.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

bool IsInside(const fs::path& path, const fs::path& folder) {
    const std::string p = path.lexically_normal().generic_string();
    const std::string f = folder.lexically_normal().generic_string();
    return p == f || p.starts_with(f.ends_with('/') ? f : f + "/");
}

// The machine's file system with files that behave as if another program held
// them open: they cannot be deleted or moved, a folder holding one cannot be
// renamed, and deleting such a folder removes everything else and fails. A
// rename onto a listed destination fails too.
class TLockingFileSystem : public TPlacementFileSystem {
public:
    std::set<fs::path> setLocked;
    std::set<fs::path> setFailRenameTo;

    bool RenameFolder(const fs::path& from, const fs::path& to, std::error_code& ec) override {
        if (HoldsLocked(from) || setFailRenameTo.count(to.lexically_normal())) return Busy(ec);
        return TPlacementFileSystem::RenameFolder(from, to, ec);
    }
    bool DeleteFolder(const fs::path& folder) override {
        if (!HoldsLocked(folder)) return TPlacementFileSystem::DeleteFolder(folder);
        RemoveAllButLocked(folder);
        return false;
    }
    bool DeleteFile(const fs::path& file, std::error_code& ec) override {
        if (setLocked.count(file.lexically_normal())) return Busy(ec);
        return TPlacementFileSystem::DeleteFile(file, ec);
    }
    bool MoveFile(const fs::path& from, const fs::path& to, std::error_code& ec) override {
        if (setLocked.count(from.lexically_normal())) return Busy(ec);
        return TPlacementFileSystem::MoveFile(from, to, ec);
    }

private:
    static bool Busy(std::error_code& ec) {
        ec = std::make_error_code(std::errc::device_or_resource_busy);
        return false;
    }
    bool HoldsLocked(const fs::path& folder) const {
        for (const auto& locked : setLocked)
            if (IsInside(locked, folder)) return true;
        return false;
    }
    void RemoveAllButLocked(const fs::path& folder) {
        for (const auto& entry : fs::directory_iterator(folder)) {
            if (entry.is_directory() && !entry.is_symlink()) {
                if (HoldsLocked(entry.path()))
                    RemoveAllButLocked(entry.path());
                else
                    fs::remove_all(entry.path());
            } else if (!setLocked.count(entry.path().lexically_normal())) {
                fs::remove(entry.path());
            }
        }
    }
};

std::string Slash(const fs::path& folder) { return WithTrailingSeparator(folder.string()); }

// A relative path written with '/' as the engine writes it on this system.
std::string Native(std::string path) {
    std::replace(path.begin(), path.end(), '/', kNativeSeparator);
    return path;
}

// Relative paths of the files under `folder` with their content, sorted.
std::vector<std::string> Tree(const fs::path& folder) {
    std::vector<std::string> lines;
    if (!fs::exists(folder)) return lines;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string rel = fs::relative(entry.path(), folder).generic_string();
        lines.push_back(entry.is_directory() ? rel + "/" : rel + "=" + ReadFileText(entry.path()));
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

class FilePlacementFixture : public testing::Test {
protected:
    LogCapture m_Log;
    TempDir m_Root{"vxplace"};
    fs::path m_Temp = m_Root / "temp_install_orladesk";
    fs::path m_Install = m_Root / "OrlaDesk_a";
    TLockingFileSystem m_Fs;
    TFilePlacement m_Placement{m_Fs, Slash(m_Root.path())};

    void WriteNewRelease() {
        WriteFileText(m_Temp / "vantixchart.exe", "new exe");
        WriteFileText(m_Temp / "locked.dll", "new dll");
        WriteFileText(m_Temp / "sub" / "b.txt", "new b");
        WriteFileText(m_Temp / "sub" / "deep" / "c.txt", "new c");
    }
    TPlacementResult Place() { return m_Placement.PlaceNewInstallation(Slash(m_Temp), Slash(m_Install)); }
};

const std::vector<std::string> kNewRelease{"locked.dll=new dll", "sub/", "sub/b.txt=new b", "sub/deep/",
                                           "sub/deep/c.txt=new c", "vantixchart.exe=new exe"};

TEST_F(FilePlacementFixture, NewInstallationIsOneRenameIntoAFreshFolder) {
    WriteNewRelease();
    const TPlacementResult result = Place();
    EXPECT_TRUE(result.bOk);
    EXPECT_EQ(result.strErrorText, "");
    EXPECT_EQ(Tree(m_Install), kNewRelease);
    EXPECT_FALSE(fs::exists(m_Temp));
    EXPECT_EQ(m_Log.Matching("New Install Path="),
              std::vector<std::string>{"TInstallerThread.WMUpdateProgress : New Install Path=" + Slash(m_Install)});
    EXPECT_FALSE(m_Log.Contains("DeleteAndInstall"));
}

TEST_F(FilePlacementFixture, LeftoverFolderIsDeletedAndTheRenameRetried) {
    WriteNewRelease();
    WriteFileText(m_Install / "vantixchart.exe", "old exe");
    WriteFileText(m_Install / "stale" / "old.txt", "old");
    const TPlacementResult result = Place();
    EXPECT_TRUE(result.bOk);
    EXPECT_EQ(result.strErrorText, "");
    EXPECT_EQ(Tree(m_Install), kNewRelease);
    EXPECT_FALSE(fs::exists(m_Temp));
    EXPECT_TRUE(m_Log.Contains("TInstallerThread.DeleteAndInstall InstallFolder=" + Slash(m_Install) +
                               " Temp=" + Slash(m_Temp)));
    EXPECT_FALSE(m_Log.Contains("RecursiveDeleteAndInstall"));
}

TEST_F(FilePlacementFixture, LockedOldFileKeepsItsCopyWhileEveryOtherFileIsReplaced) {
    WriteNewRelease();
    WriteFileText(m_Install / "vantixchart.exe", "old exe");
    WriteFileText(m_Install / "locked.dll", "old dll");
    WriteFileText(m_Install / "sub" / "b.txt", "old b");
    WriteFileText(m_Install / "gone.txt", "old");
    m_Fs.setLocked.insert((m_Install / "locked.dll").lexically_normal());

    const TPlacementResult result = Place();

    EXPECT_FALSE(result.bOk);
    EXPECT_EQ(result.strErrorText, "Falha ao deletar: " + Slash(m_Temp) + "locked.dll\r\n");
    EXPECT_EQ(Tree(m_Install), (std::vector<std::string>{"locked.dll=old dll", "sub/", "sub/b.txt=new b", "sub/deep/",
                                                          "sub/deep/c.txt=new c", "vantixchart.exe=new exe"}));
    EXPECT_FALSE(fs::exists(m_Temp));
    EXPECT_TRUE(m_Log.Contains("TInstallerThread.RecursiveDeleteAndInstall: InstallFolder=" + Slash(m_Install) +
                               " CurrFolder=" + Slash(m_Temp) + " Temp=" + Slash(m_Temp)));
    EXPECT_TRUE(m_Log.Contains("TInstallerThread.RecursiveDeleteAndInstall: Copying to=" + Slash(m_Install) +
                               Native("sub/deep/c.txt") + " Source=" + Slash(m_Temp) + Native("sub/deep/c.txt")));
}

// A new file that cannot be moved must not count as placed: its old copy is
// already deleted and the new one goes with the temporary folder.
TEST_F(FilePlacementFixture, FileThatCannotBeMovedFailsThePlacement) {
    WriteNewRelease();
    WriteFileText(m_Install / "sub" / "b.txt", "old b");
    m_Fs.setLocked.insert((m_Temp / "sub" / "b.txt").lexically_normal());

    const TPlacementResult result = Place();

    EXPECT_FALSE(result.bOk);
    EXPECT_TRUE(result.strErrorText.starts_with("Falha ao mover: " + Slash(m_Temp) + Native("sub/b.txt") + " Error="))
        << result.strErrorText;
    EXPECT_TRUE(result.strErrorText.ends_with("\r\n"));
    EXPECT_EQ(ReadFileText(m_Install / "sub" / "deep" / "c.txt"), "new c");
    EXPECT_EQ(ReadFileText(m_Install / "vantixchart.exe"), "new exe");
}

// --- the database folder of an update -------------------------------------

class DatabaseFixture : public FilePlacementFixture {
protected:
    fs::path m_Db = m_Install / "database";
    fs::path m_Backup = m_Install / "database_backup";

    void SetUp() override {
        WriteFileText(m_Db / "cotationgrid" / "grid.cfg", "grid");
        WriteFileText(m_Db / "desktops" / "main.dsk", "desk");
        WriteFileText(m_Db / "assetidlists" / "list.txt", "list");
        WriteFileText(m_Db / "prices.dat", "release data");
        WriteFileText(m_Db / "cache" / "x.bin", "release cache");
    }
    bool Run() { return m_Placement.BackupAndDeleteDatabaseFiles(Slash(m_Install)); }
};

const std::vector<std::string> kUserDataOnly{"assetidlists/", "assetidlists/list.txt=list", "cotationgrid/",
                                             "cotationgrid/grid.cfg=grid", "desktops/", "desktops/main.dsk=desk"};

TEST_F(DatabaseFixture, OnlyTheThreeUserDataFoldersSurvive) {
    EXPECT_TRUE(Run());
    EXPECT_EQ(Tree(m_Db), kUserDataOnly);
    EXPECT_FALSE(fs::exists(m_Backup));
    EXPECT_EQ(m_Log.CountContaining("BackupAndDeleteDatabaseFiles"), 0u);
}

TEST_F(DatabaseFixture, MissingUserDataFolderGivesOneMoveAndOneRestoreLine) {
    fs::remove_all(m_Db / "desktops");
    EXPECT_TRUE(Run());
    EXPECT_EQ(Tree(m_Db), (std::vector<std::string>{"assetidlists/", "assetidlists/list.txt=list", "cotationgrid/",
                                                     "cotationgrid/grid.cfg=grid"}));
    const auto moves = m_Log.Matching("BackupAndDeleteDatabaseFiles: Move (");
    const auto restores = m_Log.Matching("BackupAndDeleteDatabaseFiles: Restore (");
    ASSERT_EQ(moves.size(), 1u);
    ASSERT_EQ(restores.size(), 1u);
    EXPECT_TRUE(moves[0].starts_with("BackupAndDeleteDatabaseFiles: Move (" + Slash(m_Install) + "database/desktops Error="));
    EXPECT_TRUE(restores[0].starts_with("BackupAndDeleteDatabaseFiles: Restore (" + Slash(m_Install) +
                                        "database/desktops Error="));
    EXPECT_FALSE(fs::exists(m_Backup));
}

TEST_F(DatabaseFixture, StaleBackupLeftOverIsClearedFirst) {
    WriteFileText(m_Backup / "cotationgrid" / "grid.cfg", "stale grid");
    WriteFileText(m_Backup / "junk.txt", "junk");
    EXPECT_TRUE(Run());
    EXPECT_EQ(Tree(m_Db), kUserDataOnly);
    EXPECT_FALSE(fs::exists(m_Backup));
}

// A run that stopped after setting the user data aside left its only copy in
// database_backup; clearing that folder would lose it.
TEST_F(DatabaseFixture, UserDataLeftInBackupByAnInterruptedRunIsRecovered) {
    fs::remove_all(m_Db / "desktops");
    WriteFileText(m_Backup / "desktops" / "main.dsk", "desk");
    EXPECT_TRUE(Run());
    EXPECT_EQ(Tree(m_Db), kUserDataOnly);
    EXPECT_FALSE(fs::exists(m_Backup));
}

TEST_F(DatabaseFixture, DatabaseIsKeptWhenUserDataCannotBeSetAside) {
    m_Fs.setLocked.insert((m_Db / "desktops" / "main.dsk").lexically_normal());
    EXPECT_FALSE(Run());
    EXPECT_EQ(ReadFileText(m_Db / "desktops" / "main.dsk"), "desk");
    EXPECT_EQ(ReadFileText(m_Db / "cotationgrid" / "grid.cfg"), "grid");
    EXPECT_EQ(ReadFileText(m_Db / "assetidlists" / "list.txt"), "list");
    EXPECT_EQ(ReadFileText(m_Db / "prices.dat"), "release data");
    EXPECT_TRUE(m_Log.Contains("BackupAndDeleteDatabaseFiles: Move (" + Slash(m_Install) + "database/desktops Error="));
    EXPECT_TRUE(m_Log.Contains("database folder kept"));
    EXPECT_FALSE(fs::exists(m_Backup));
}

TEST_F(DatabaseFixture, BackupIsKeptWhenUserDataCannotBeRestored) {
    m_Fs.setFailRenameTo.insert((m_Db / "cotationgrid").lexically_normal());
    EXPECT_FALSE(Run());
    EXPECT_EQ(ReadFileText(m_Backup / "cotationgrid" / "grid.cfg"), "grid");
    EXPECT_EQ(ReadFileText(m_Db / "desktops" / "main.dsk"), "desk");
    EXPECT_FALSE(fs::exists(m_Db / "prices.dat"));
    EXPECT_TRUE(m_Log.Contains("BackupAndDeleteDatabaseFiles: Restore (" + Slash(m_Install) +
                               "database/cotationgrid Error="));
}

// --- libraries the new release no longer has ------------------------------

TEST_F(FilePlacementFixture, ObsoleteTopLevelLibrariesAreDeleted) {
    for (const char* name : {"a.dll", "b.dll", "c.dll", "D.DLL", "readme.txt", "dll", "sub/c.dll"})
        WriteFileText(m_Install / name, name);
    // A file system that ignores letter case (Windows') holds only one of the two.
    if (!fs::exists(m_Install / "A.dll")) WriteFileText(m_Install / "A.dll", "A.dll");
    fs::create_directories(m_Install / "plugins.dll");

    EXPECT_TRUE(m_Placement.DeleteObsoleteDlls(Slash(m_Install), {"a.dll", "b.dll"}));

    // "*.dll" matches in any letter case, the keep-list only exactly, and
    // neither sub-folders nor folders named like libraries are touched.
    EXPECT_EQ(Tree(m_Install), (std::vector<std::string>{"a.dll=a.dll", "b.dll=b.dll", "dll=dll", "plugins.dll/",
                                                          "readme.txt=readme.txt", "sub/", "sub/c.dll=sub/c.dll"}));
}

// The keep-list comes from the download plan: both must read a library name
// alike, or a release's "X.DLL" is deleted after every update and fetched again.
TEST_F(FilePlacementFixture, LibrariesOfTheReleaseSurviveInAnyLetterCase) {
    TVantixVersion release;
    for (const char* name : {"X.DLL", "y.Dll", "z.dll"}) {
        WriteFileText(m_Install / name, name);
        release.lstFiles.push_back(std::make_unique<TVantixVersionFile>());
        release.lstFiles.back()->strFile = name;
    }
    WriteFileText(m_Install / "OLD.DLL", "old");
    const TDownloadPlan plan = BuildDownloadPlan(release, "orladesk", "http://srv");

    EXPECT_TRUE(m_Placement.DeleteObsoleteDlls(Slash(m_Install), plan.lstKeepDlls));
    EXPECT_EQ(Tree(m_Install), (std::vector<std::string>{"X.DLL=X.DLL", "y.Dll=y.Dll", "z.dll=z.dll"}));
}

TEST_F(FilePlacementFixture, LibraryThatCannotBeDeletedGivesFalseAndTheOthersGo) {
    WriteFileText(m_Install / "c.dll", "c");
    WriteFileText(m_Install / "d.dll", "d");
    m_Fs.setLocked.insert((m_Install / "c.dll").lexically_normal());
    EXPECT_FALSE(m_Placement.DeleteObsoleteDlls(Slash(m_Install), {}));
    EXPECT_EQ(Tree(m_Install), std::vector<std::string>{"c.dll=c"});
    EXPECT_TRUE(m_Log.Contains("TInstallerThread.DeleteObsoleteDlls: File=" + Slash(m_Install) + "c.dll Error="));
}

TEST_F(FilePlacementFixture, MissingInstallFolderHasNoLibrariesToDelete) {
    EXPECT_TRUE(m_Placement.DeleteObsoleteDlls(Slash(m_Install), {"a.dll"}));
}

// --- what a killed run left half unpacked ----------------------------------

TEST_F(FilePlacementFixture, PartFilesOfAKilledRunAreDeletedAtAnyDepthAndNothingElse) {
    for (const char* name : {"lib1.dll", "lib1.dll.a1B2c3.vxpart", "bin/data.txt", "bin/data.txt.ZZ99zz.vxpart",
                             "database/desktops/d.json.000000.vxpart", "database/cotationgrid/mine.vxpart",
                             "x.abc.vxpart", "x.ab-def.vxpart", "x.abcdef.vxpart.bak", ".abcdef.vxpart"})
        WriteFileText(m_Install / name, "data");
    fs::create_directories(m_Install / "plugin.qwerty.vxpart");

    EXPECT_TRUE(m_Placement.DeleteInterruptedPartFiles(Slash(m_Install)));

    EXPECT_EQ(Tree(m_Install),
              (std::vector<std::string>{".abcdef.vxpart=data", "bin/", "bin/data.txt=data", "database/",
                                        "database/cotationgrid/", "database/cotationgrid/mine.vxpart=data",
                                        "database/desktops/", "lib1.dll=data", "plugin.qwerty.vxpart/",
                                        "x.ab-def.vxpart=data", "x.abc.vxpart=data", "x.abcdef.vxpart.bak=data"}));
    EXPECT_EQ(m_Log.CountContaining("TInstallerThread.DeleteInterruptedPartFiles: File="), 3u);
}

TEST_F(FilePlacementFixture, PartFileThatCannotBeDeletedGivesFalseAndTheOthersGo) {
    WriteFileText(m_Install / "a.dll.AAAAAA.vxpart", "a");
    WriteFileText(m_Install / "b.dll.BBBBBB.vxpart", "b");
    m_Fs.setLocked.insert((m_Install / "a.dll.AAAAAA.vxpart").lexically_normal());
    EXPECT_FALSE(m_Placement.DeleteInterruptedPartFiles(Slash(m_Install)));
    EXPECT_EQ(Tree(m_Install), std::vector<std::string>{"a.dll.AAAAAA.vxpart=a"});
    EXPECT_TRUE(m_Log.Contains("TInstallerThread.DeleteInterruptedPartFiles: File=" +
                               (m_Install / "a.dll.AAAAAA.vxpart").string() + " Error="));
    EXPECT_TRUE(m_Placement.DeleteInterruptedPartFiles(Slash(m_Root / "missing")));
}

// --- folders that are not the company folder's own ------------------------

// Every installation, its user data, and a folder outside the company folder
// that a symbolic link inside it points to; a refused operation leaves all of
// them as they were.
class RefusedFolderFixture : public FilePlacementFixture {
protected:
    TempDir m_Outside{"vxvictim"};
    fs::path m_Link = m_Root / "OrlaDesk_link";

    void SetUp() override {
        WriteNewRelease();
        WriteFileText(m_Root / "OrlaDesk_x" / "database" / "cotationgrid" / "grid.json", "user data");
        WriteFileText(m_Root / "OrlaDesk_x" / "old.dll", "x");
        WriteFileText(m_Outside / "database" / "desktops" / "mine.json", "victim data");
        WriteFileText(m_Outside / "victim.dll", "victim");
        WriteFileText(m_Outside / "half.dll.AAAAAA.vxpart", "victim");
        std::error_code ec;
        fs::create_directory_symlink(m_Outside.path(), m_Link, ec);
        // Wine makes no folder links; Windows does only for a privileged user or in developer mode.
        if (ec) GTEST_SKIP() << "no folder links here: " << ec.message();
    }
};

TEST_F(RefusedFolderFixture, EveryOperationRefusesFoldersThatAreNotItsOwnAndDeletesNothing) {
    const std::string climbing = Slash(m_Root / "OrlaDesk_x") + "../";
    const std::string climbingFurther = Slash(m_Root / "OrlaDesk_x") + "../../";
    const std::string link = Slash(m_Link);
    const std::string outside = Slash(m_Outside.path());
    const std::string nested = Slash(m_Root / "OrlaDesk_x" / "database");
    const std::string temp = Slash(m_Temp);
    std::string errors;
    const std::vector<std::pair<std::string, std::function<void()>>> cases = {
        {"place over climbing", [&] { m_Placement.PlaceNewInstallation(temp, climbing); }},
        {"place over climbing further", [&] { m_Placement.PlaceNewInstallation(temp, climbingFurther); }},
        {"place over link", [&] { m_Placement.PlaceNewInstallation(temp, link); }},
        {"place over nested", [&] { m_Placement.PlaceNewInstallation(temp, nested); }},
        {"place from outside", [&] { m_Placement.PlaceNewInstallation(outside, Slash(m_Install)); }},
        {"delete and install", [&] { m_Placement.DeleteAndInstall(climbing, temp, errors); }},
        {"file by file", [&] { m_Placement.RecursiveDeleteAndInstall(link, temp, temp, errors); }},
        {"database of link", [&] { m_Placement.BackupAndDeleteDatabaseFiles(link); }},
        {"database of climbing", [&] { m_Placement.BackupAndDeleteDatabaseFiles(climbing); }},
        {"libraries of link", [&] { m_Placement.DeleteObsoleteDlls(link, {}); }},
        {"libraries of outside", [&] { m_Placement.DeleteObsoleteDlls(outside, {}); }},
        {"part files of link", [&] { m_Placement.DeleteInterruptedPartFiles(link); }},
    };
    const std::vector<std::string> root = Tree(m_Root.path());
    const std::vector<std::string> victim = Tree(m_Outside.path());
    for (const auto& [name, operation] : cases) {
        EXPECT_THROW(operation(), TPlacementRefused) << name;
        EXPECT_EQ(Tree(m_Root.path()), root) << name;
        EXPECT_EQ(Tree(m_Outside.path()), victim) << name;
    }
    EXPECT_EQ(errors, "");
    EXPECT_EQ(m_Log.CountContaining("TFilePlacement: Refused Folder="), cases.size());
    EXPECT_FALSE(m_Log.Contains("New Install Path="));
}

}  // namespace

// The engine driven through whole runs against an in-process server, with a
// recording window: frames, texts, files, registry and exit codes.
#include <gtest/gtest.h>

#include "base/ExitCode.h"
#include "base/MessageIds.h"
#include "base/Texts.h"
#include "engine/InstallerThread.h"
#include "platform/RegistryHiveSqlite.h"
#include "support/EngineTestEnvironment.h"
#include "support/LogCapture.h"
#include "support/RecordingTarget.h"
#include "support/TestRelease.h"
#include "release/SignatureFile.h"
#include "support/TestZip.h"
#include "workers/ExtractThread.h"

namespace {

using namespace std::chrono_literals;

class EngineRun : public ::testing::Test {
protected:
    void SetUp() override {
        SetExitCode(0);
        TExtractThread::ResetCreateFailureFlag();
        release.Add("vantixchart.exe", std::string(5000, 'x'));
        release.Add("a.dll", "library a");
        release.Add("bin\\data.txt", "some data");
        release.Add("database\\desktops\\d.json", "{}");
        release.Add("other.dll", "not ours", "otherproduct");
    }
    void TearDown() override {
        engine.reset();
        SetExitCode(0);
    }

    void StartEngine(TCmdInstallType mode = citNone, const std::string& name = "") {
        TEngineEnvironment environment = TestEngineEnvironment(hive, dir / "appdata", server.BaseUrl());
        environment.releaseKeys = releaseKeys;
        engine = std::make_unique<TInstallerThread>(window, std::move(environment));
        engine->Start();
        engine->WaitStart();
        engine->SetUnnatendedValues(name, mode);
        engine->SetProxyConfig(TProxySettings{});
        engine->VerifyPreviousInstall();
    }
    void InstallInteractively() {
        StartEngine();
        ASSERT_TRUE(WaitForFrame(fiInstall));
        engine->PostThreadMessage(WM_SET_NEW_INSTALL);
        engine->PostThreadMessage(WM_SETUP_DOWNLOADS);
    }
    bool WaitForFrame(int frame, std::chrono::milliseconds timeout = 30s) {
        return window.WaitFor(
            [&](const std::vector<TMessage>& all) {
                for (auto& m : all)
                    if (m.message == WM_CHANGE_VISIBLE_FRAME && int(m.wParam) == frame) return true;
                return false;
            },
            timeout);
    }
    // An interactive installation whose product package stalls in the middle
    // of its body far beyond the client's 30 s low-speed limit, once every
    // other package is in: stopping the run must not wait for it.
    void StartInstallWithAStalledPackage() {
        release.Publish();
        const std::string package = "vantixchart.exe";
        TReply stalled{200, release.Package(package), "application/zip"};
        stalled.Fault = TReply::TFault::StallMidBody;
        stalled.tStall = 60s;
        server.Route(release.PackagePath(package), stalled);
        InstallInteractively();
        ASSERT_TRUE(log.WaitForLine("Download succeeded", 3));
    }
    bool WaitUntilHit(const std::string& path) {
        for (int i = 0; i < 3000 && server.HitCount(path) == 0; ++i) std::this_thread::sleep_for(10ms);
        return server.HitCount(path) > 0;
    }
    bool WaitForQuit() { return window.WaitForCount(WM_QUIT, 1, 30s); }
    std::filesystem::path InstallFolder(const std::string& name = "") const {
        return dir / "appdata/Corvane" / (name.empty() ? std::string("OrlaDesk") : "OrlaDesk_" + name);
    }

    LogCapture log;
    TempDir dir;
    std::shared_ptr<TRegistryHiveSqlite> hive = std::make_shared<TRegistryHiveSqlite>(dir / "hkcu.sqlite", false);
    LocalHttpServer server;
    TestRelease release{server};
    RecordingTarget window;
    std::unique_ptr<TInstallerThread> engine;
    TReleaseKeys releaseKeys;  // none: the unsigned contract
};

// Every regular file below `folder` with its content.
std::map<std::string, std::string> Snapshot(const std::filesystem::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        if (entry.is_regular_file()) files[std::filesystem::relative(entry.path(), folder).string()] = ReadFileText(entry.path());
    return files;
}

TEST_F(EngineRun, InteractiveInstallEndsOnTheDoneFrameWithEverythingInPlace) {
    release.Publish();
    InstallInteractively();
    ASSERT_TRUE(WaitForFrame(fiInstallDone));
    EXPECT_EQ(window.Frames(), (std::vector<int>{fiInstall, fiInstallDone}));
    EXPECT_EQ(ReadFileText(InstallFolder() / "bin/data.txt"), "some data");
    EXPECT_EQ(ReadFileText(InstallFolder() / "database/desktops/d.json"), "{}");
    EXPECT_FALSE(std::filesystem::exists(InstallFolder() / "other.dll")) << "another product's file";
    EXPECT_FALSE(std::filesystem::exists(dir / "appdata/Corvane/temp_install_orladesk"));
    EXPECT_EQ(hive->ReadString("Software\\Corvane\\OrlaDesk\\1.0", "Dir"), InstallFolder().string() + "/");
    auto progressTexts = window.Messages(WM_SET_PROGRESS_MSG);
    ASSERT_GE(progressTexts.size(), 2u);
    EXPECT_EQ(progressTexts.front().text, txtInstalling);
    EXPECT_EQ(progressTexts.back().text, FinishingStatusText(GetLanguage()));
    auto progress = window.Messages(WM_SET_PROGRESS);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.front().wParam, 0u);
    EXPECT_GT(progress.front().lParam, 0);
    EXPECT_EQ(release.PackageRequests(), 4);
    EXPECT_EQ(release.PackageHits("other.dll"), 0);
}

TEST_F(EngineRun, TwoFailingFilesGiveOneRetryFrameAndTheRetryResumes) {
    release.Publish();
    server.Route(release.PackagePath("a.dll"), TReply{404, "gone"});
    server.Route(release.PackagePath("bin\\data.txt"), TReply{503, "busy"});
    InstallInteractively();
    ASSERT_TRUE(WaitForFrame(fiRetry));
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(window.Count(WM_SET_RETRY_MSG), 1u);
    EXPECT_EQ(window.Messages(WM_SET_RETRY_MSG).front().text, txtCheckConnection);
    EXPECT_EQ(release.PackageHits("a.dll"), 3);
    EXPECT_EQ(release.PackageHits("bin\\data.txt"), 3);
    EXPECT_EQ(log.CountContaining("retry limit reached | Try=3"), 2u);

    release.Publish();  // the server recovers
    engine->PostThreadMessage(WM_RETRY);
    ASSERT_TRUE(WaitForFrame(fiInstallDone));
    EXPECT_EQ(release.PackageHits("a.dll"), 4) << "the failed record is fetched again from try 0";
    EXPECT_EQ(ReadFileText(InstallFolder() / "a.dll"), "library a");
    EXPECT_EQ(window.Frames(), (std::vector<int>{fiInstall, fiRetry, fiInstallDone}));
}

TEST_F(EngineRun, TransientFaultsCostOneTryEach) {
    release.Publish();
    // Each of three files fails once in its own way, then answers.
    for (auto [path, fault] : std::vector<std::pair<std::string, TReply::TFault>>{
             {"bin\\data.txt", TReply::TFault::ResetMidBody},
             {"a.dll", TReply::TFault::ShortBody},
             {"vantixchart.exe", TReply::TFault::NoContentLength}}) {
        std::string zip = release.Package(path);
        server.Route(release.PackagePath(path), [zip, fault = fault](const TRecordedRequest&, int hit) {
            TReply reply{200, zip};
            if (hit == 0) reply.Fault = fault;
            return reply;
        });
    }
    InstallInteractively();
    ASSERT_TRUE(WaitForFrame(fiInstallDone));
    EXPECT_EQ(window.Count(WM_SET_RETRY_MSG), 0u);
    EXPECT_EQ(ReadFileText(InstallFolder() / "bin/data.txt"), "some data");
    EXPECT_EQ(ReadFileText(InstallFolder() / "a.dll"), "library a");
    EXPECT_EQ(log.CountContaining("TDownloadThread.DownloadSingleFile: Try=1 "), 3u);
}

TEST_F(EngineRun, ForeignBodyAndWrongMd5) {
    release.Publish();
    // A body that is not a zip goes back to download with one more try, and
    // after three such tries the retry frame shows. So does a package of the
    // right size whose content does not match its name: it is never placed.
    server.Route(release.PackagePath("a.dll"), TReply{200, std::string(release.Package("a.dll").size(), 'z')});
    std::string wrong = MakeTestZip({{"data.txt", "some datX"}});
    ASSERT_EQ(wrong.size(), release.Package("bin\\data.txt").size());
    server.Route(release.PackagePath("bin\\data.txt"), TReply{200, wrong});
    InstallInteractively();
    ASSERT_TRUE(WaitForFrame(fiRetry));
    // Whichever of the two used its three tries first stopped the run.
    EXPECT_EQ(std::max(release.PackageHits("a.dll"), release.PackageHits("bin\\data.txt")), 3);
    EXPECT_FALSE(std::filesystem::exists(dir / "appdata/Corvane/temp_install_orladesk/bin/data.txt"));
    // "Tentar Novamente" fetches both again; the right content completes the run.
    server.Route(release.PackagePath("a.dll"), TReply{200, release.Package("a.dll")});
    server.Route(release.PackagePath("bin\\data.txt"), TReply{200, release.Package("bin\\data.txt")});
    // A bad package already fetched before the run stopped may still cost one
    // more retry frame; the fixed server ends the run within a few.
    auto count = [](const std::vector<TMessage>& all, int frame) {
        return std::count_if(all.begin(), all.end(), [&](const TMessage& m) {
            return m.message == WM_CHANGE_VISIBLE_FRAME && int(m.wParam) == frame;
        });
    };
    for (int attempt = 0; attempt < 3 && !WaitForFrame(fiInstallDone, 0ms); ++attempt) {
        const auto before = count(window.Messages(WM_CHANGE_VISIBLE_FRAME), fiRetry);
        engine->PostThreadMessage(WM_RETRY);
        ASSERT_TRUE(window.WaitFor(
            [&](const std::vector<TMessage>& all) {
                return count(all, fiInstallDone) > 0 || count(all, fiRetry) > before;
            },
            30s));
    }
    ASSERT_TRUE(WaitForFrame(fiInstallDone));
    EXPECT_EQ(ReadFileText(InstallFolder() / "bin/data.txt"), "some data");
}

TEST_F(EngineRun, WrongContentGivesTheRetryFrameAndIsReportedOnceTheRunEnds) {
    release.Publish();
    std::string wrong = MakeTestZip({{"data.txt", "some datX"}});
    ASSERT_EQ(wrong.size(), release.Package("bin\\data.txt").size());
    server.Route(release.PackagePath("bin\\data.txt"), TReply{200, wrong});
    InstallInteractively();
    ASSERT_TRUE(WaitForFrame(fiRetry));
    EXPECT_EQ(release.PackageHits("bin\\data.txt"), 3);
    EXPECT_EQ(log.CountContaining("TExtractThread.Execute: Invalid hash for File: data.txt"), 3u);
    EXPECT_FALSE(std::filesystem::exists(dir / "appdata/Corvane/temp_install_orladesk/bin/data.txt"));
    server.Route(release.PackagePath("bin\\data.txt"), TReply{200, release.Package("bin\\data.txt")});
    engine->PostThreadMessage(WM_RETRY);
    ASSERT_TRUE(WaitForFrame(fiInstallDone));
    EXPECT_EQ(ReadFileText(InstallFolder() / "bin/data.txt"), "some data");
    EXPECT_TRUE(log.Contains("TInstallerThread.WMUpdateProgress : ERROR MD5Failed=True"));
    // The report's message is one line of the log, its breaks escaped.
    EXPECT_NE(log.Raw().find("Invalid md5 verified while installing\\r\\nVersion=1.2.3.4\\r\\nFile: data.txt"),
              std::string::npos);
}

TEST_F(EngineRun, WrongContentNeverReplacesAnInstalledFileOrMakesAnInstallation) {
    release.Publish();
    StartEngine(citInstall);
    ASSERT_TRUE(WaitForQuit());
    ASSERT_EQ(GetExitCode(), ecSuccess);
    const std::string installed = ReadFileText(InstallFolder() / "bin/data.txt");
    release.Add("bin\\data.txt", "new data");
    release.Publish();
    const std::string wrong = MakeTestZip({{"data.txt", "new datX"}});
    ASSERT_EQ(wrong.size(), release.Package("bin\\data.txt").size());
    server.Route(release.PackagePath("bin\\data.txt"), TReply{200, wrong});
    SetExitCode(0);
    StartEngine(citUpdate);
    ASSERT_TRUE(window.WaitForCount(WM_QUIT, 2, 30s));
    EXPECT_EQ(GetExitCode(), ecUnexpected);
    EXPECT_EQ(ReadFileText(InstallFolder() / "bin/data.txt"), installed);
    EXPECT_EQ(log.CountContaining("TExtractThread.Execute: Invalid hash for File: data.txt"), 1u);
}

// Unattended, the calling software learns only the exit code: a new
// installation with a file that is not the release's places and registers
// nothing (the program's exit then removes the unpacked files).
TEST_F(EngineRun, UnattendedInstallOfWrongContentPlacesAndRegistersNothing) {
    release.Publish();
    const std::string wrong = MakeTestZip({{"data.txt", "some datX"}});
    ASSERT_EQ(wrong.size(), release.Package("bin\\data.txt").size());
    server.Route(release.PackagePath("bin\\data.txt"), TReply{200, wrong});
    StartEngine(citInstall);
    ASSERT_TRUE(WaitForQuit());
    EXPECT_EQ(GetExitCode(), ecUnexpected);
    EXPECT_FALSE(std::filesystem::exists(InstallFolder() / "a.dll"));
    EXPECT_FALSE(std::filesystem::exists(InstallFolder() / "bin/data.txt"));
    EXPECT_FALSE(hive->KeyExists("Software\\Corvane\\OrlaDesk"));
    EXPECT_EQ(log.CountContaining("TExtractThread.Execute: Invalid hash for File: data.txt"), 1u);
}

TEST_F(EngineRun, VersionQueryFailureShowsRetryAndRetryAsksAgain) {
    InstallInteractively();  // nothing published: the document is a 404
    server.SetFailOnUnexpected(false);
    ASSERT_TRUE(WaitForFrame(fiRetry));
    EXPECT_EQ(window.Messages(WM_SET_RETRY_MSG).front().text, txtCheckConnection);
    EXPECT_TRUE(log.Contains("TInstallerThread.WMSetupDownloads: Error getting vantix version info: StatusCode=404 URL=\"" +
                             server.Url(TestRelease::VersionPath()) + "\" Proxy=True"));
    release.Publish();
    engine->PostThreadMessage(WM_RETRY);
    ASSERT_TRUE(WaitForFrame(fiInstallDone));
    EXPECT_EQ(server.HitCount(TestRelease::VersionPath()), 2);
}

TEST_F(EngineRun, UnattendedRunsEndWithTheirExitCodes) {
    server.SetFailOnUnexpected(false);
    StartEngine(citInstall, "a");
    ASSERT_TRUE(WaitForQuit());
    EXPECT_EQ(GetExitCode(), ecDownloadFailed) << "the version service never answered";
    EXPECT_EQ(server.HitCount(TestRelease::VersionPath()), 3);
    EXPECT_EQ(window.Frames(), std::vector<int>{fiProgress});
    EXPECT_EQ(window.Messages(WM_CHANGE_VISIBLE_FRAME).front().text, StartingStatusText(GetLanguage()));
}

TEST_F(EngineRun, UnattendedInstallThenUpdateOfUnchangedFilesDownloadsNothing) {
    release.Publish();
    StartEngine(citInstall, "a");
    ASSERT_TRUE(WaitForQuit());
    ASSERT_EQ(GetExitCode(), 0);
    EXPECT_EQ(hive->ReadString("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\OrlaDesk_a", "DisplayName"),
              "Orla Desk (a)");
    int fetched = release.PackageRequests();
    engine.reset();

    StartEngine(citUpdate, "A");  // another letter case names the same installation
    ASSERT_TRUE(window.WaitForCount(WM_QUIT, 2, 30s));
    EXPECT_EQ(GetExitCode(), 0);
    EXPECT_EQ(release.PackageRequests(), fetched) << "every installed file was already right";
    EXPECT_TRUE(log.Contains("WMSetUpdateOnly"));
}

TEST_F(EngineRun, UnattendedRefusalsSetOneTwoAndThree) {
    release.Publish();
    StartEngine(citUpdate, "nobody");
    ASSERT_TRUE(WaitForQuit());
    EXPECT_EQ(GetExitCode(), ecNoSuchInstallation);
    engine.reset();

    std::filesystem::create_directories(InstallFolder("b"));
    hive->WriteString("Software\\Corvane\\OrlaDesk_b\\1.0", "Dir", InstallFolder("b").string() + "/");
    SetExitCode(0);
    StartEngine(citInstall, "B");
    ASSERT_TRUE(window.WaitForCount(WM_QUIT, 2, 30s));
    EXPECT_EQ(GetExitCode(), ecNameAlreadyInstalled);
    EXPECT_EQ(release.PackageRequests(), 0);
}

// ---- signed releases ----

TEST_F(EngineRun, ASignedReleaseInstallsWithAnyOfTheTrustedKeys) {
    const TSigningKey oldKey = TSigningKey::Generate(), newKey = TSigningKey::Generate();
    releaseKeys = TReleaseKeys(oldKey.PublicKeyBase64() + "," + newKey.PublicKeyBase64());
    release.Publish("1.2.3.4", &newKey);
    StartEngine(citInstall, "a");
    ASSERT_TRUE(WaitForQuit());
    EXPECT_EQ(GetExitCode(), 0);
    EXPECT_EQ(ReadFileText(InstallFolder("a") / "bin/data.txt"), "some data");
    EXPECT_EQ(server.HitCount(TestRelease::VersionPath() + ".sig"), 1);
    EXPECT_TRUE(log.Contains("TInstallerThread.Execute: Releases must be signed"));
}

TEST_F(EngineRun, AReleaseSignedByAnotherKeyShowsItsAbortedFrameAndFetchesNothing) {
    const TSigningKey trusted = TSigningKey::Generate(), other = TSigningKey::Generate();
    releaseKeys = TReleaseKeys(trusted.PublicKeyBase64());
    release.Publish("1.2.3.4", &other);
    InstallInteractively();
    ASSERT_TRUE(WaitForFrame(fiAborted));
    const auto aborts = window.Messages(WM_SET_ABORT_MSG);
    ASSERT_EQ(aborts.size(), 1u);
    EXPECT_EQ(aborts[0].text, txtReleaseNotVerified);
    EXPECT_EQ(aborts[0].text2, engine->Identifier());
    EXPECT_EQ(release.PackageRequests(), 0);
    EXPECT_EQ(log.CountContaining("TDownloadRun.RefuseRelease: Release not verified: Refused=\"signature\" Reason=\""),
              1u);
    EXPECT_FALSE(std::filesystem::exists(InstallFolder() / "a.dll"));
}

// The refusal comes before anything of the installation is touched: the user
// data is not even set aside.
TEST_F(EngineRun, AnExpiredReleaseEndsAnUpdateWithMinus1AndChangesNothing) {
    release.Publish();
    StartEngine(citInstall, "a");
    ASSERT_TRUE(WaitForQuit());
    ASSERT_EQ(GetExitCode(), 0);
    engine.reset();
    WriteFileText(InstallFolder("a") / "database/desktops/mine.json", "the user's own");
    const auto before = Snapshot(InstallFolder("a"));
    const int fetched = release.PackageRequests();

    const TSigningKey key = TSigningKey::Generate();
    releaseKeys = TReleaseKeys(key.PublicKeyBase64());
    release.Add("a.dll", "library a, version 2");
    release.Publish("1.2.3.5", &key, "2020-01-01T00:00:00Z");
    StartEngine(citUpdate, "a");
    ASSERT_TRUE(window.WaitForCount(WM_QUIT, 2, 30s));
    EXPECT_EQ(GetExitCode(), ecUnexpected);
    EXPECT_EQ(Snapshot(InstallFolder("a")), before);
    EXPECT_EQ(release.PackageRequests(), fetched);
    EXPECT_EQ(log.CountContaining("TDownloadRun.RefuseRelease: Release not verified: Refused=\"expired\""), 1u);
}

TEST_F(EngineRun, UnattendedInstallOfAPackageThatFailsItsHashPlacesAndRegistersNothing) {
    const TSigningKey key = TSigningKey::Generate();
    releaseKeys = TReleaseKeys(key.PublicKeyBase64());
    release.Publish("1.2.3.4", &key);
    const std::string other = MakeTestZip({{"data.txt", "some datX"}});
    ASSERT_EQ(other.size(), release.Package("bin\\data.txt").size());
    server.Route(release.PackagePath("bin\\data.txt"), TReply{200, other});
    StartEngine(citInstall, "a");
    ASSERT_TRUE(WaitForQuit());
    EXPECT_EQ(GetExitCode(), ecUnexpected);
    EXPECT_FALSE(std::filesystem::exists(InstallFolder("a") / "a.dll"));
    EXPECT_FALSE(hive->KeyExists("Software\\Corvane\\OrlaDesk_a"));
    EXPECT_EQ(log.CountContaining("TDownloadRun.RefuseRelease: Release not verified: Refused=\"package hash\""), 1u);
    EXPECT_EQ(log.CountContaining("TExtractThread: Extracting=data.txt"), 0u) << "never opened";
}

TEST_F(EngineRun, RegistrationFailureIsReportedNotCalledDone) {
    release.Publish();
    hive = std::make_shared<TRegistryHiveSqlite>(dir / "missing.sqlite", true);  // every write fails
    InstallInteractively();
    ASSERT_TRUE(window.WaitForCount(WM_SETUP_STATUS, 1, 30s));
    EXPECT_EQ(window.Messages(WM_SET_ERROR_MESSAGE).front().text, txtUnexpectedError);
    EXPECT_EQ(window.Messages(WM_SETUP_STATUS).front().wParam, nSetupStatusRegistrationFailed);
    EXPECT_FALSE(WaitForFrame(fiInstallDone, 200ms));
    EXPECT_TRUE(log.Contains("TInstallerThread.WriteRegistry: Exception="));
}

TEST_F(EngineRun, CancellingANewInstallationRemovesItsTemporaryFolder) {
    ASSERT_NO_FATAL_FAILURE(StartInstallWithAStalledPackage());
    const auto start = std::chrono::steady_clock::now();
    engine->UndoInstall();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_EQ(log.CountContaining("Download stopped, the worker is ending"), 1u);
    EXPECT_FALSE(std::filesystem::exists(dir / "appdata/Corvane/temp_install_orladesk"));
    EXPECT_FALSE(std::filesystem::exists(InstallFolder()));
    EXPECT_FALSE(hive->KeyExists("Software\\Corvane\\OrlaDesk"));
}

TEST_F(EngineRun, AbortDuringAStalledDownloadShowsTheAbortedFrameAtOnce) {
    ASSERT_NO_FATAL_FAILURE(StartInstallWithAStalledPackage());
    engine->PostThreadMessage(WM_ABORT_INSTALLATION);
    ASSERT_TRUE(WaitForFrame(fiAborted, 5s));
    EXPECT_EQ(log.CountContaining("Download stopped, the worker is ending"), 1u);
    EXPECT_EQ(window.Count(WM_SET_RETRY_MSG), 0u);
    EXPECT_EQ(window.Frames(), (std::vector<int>{fiInstall, fiAborted}));
}

TEST_F(EngineRun, ANameThatClimbsOutOfItsFolderAbortsAndTouchesNothing) {
    release.Publish();
    WriteFileText(InstallFolder("x") / "database/cotationgrid/grid.json", "user data");
    hive->WriteString("Software\\Corvane\\OrlaDesk_x\\1.0", "Dir", InstallFolder("x").string() + "/");
    StartEngine();
    ASSERT_TRUE(WaitForFrame(fiInstallUpdate));
    engine->PostThreadMessage(WM_SET_NEW_INSTALL);
    TMessage name;
    name.message = WM_SET_INSTALL_NAME;
    name.text = "x/..";
    engine->PostThreadMessage(std::move(name));
    engine->PostThreadMessage(WM_SETUP_DOWNLOADS);
    ASSERT_TRUE(WaitForFrame(fiAborted));
    ASSERT_TRUE(log.WaitForLine("TInstallerThread.WMSetupDownloads: the run is stopped"));
    EXPECT_EQ(ReadFileText(InstallFolder("x") / "database/cotationgrid/grid.json"), "user data");
    EXPECT_EQ(release.PackageRequests(), 0);
    EXPECT_EQ(hive->SubKeyNames("Software\\Corvane"), std::vector<std::string>{"OrlaDesk_x"});
    EXPECT_FALSE(WaitForFrame(fiInstallDone, 200ms));
}

TEST_F(EngineRun, CancellingEndsAVersionQueryThatGetsNoAnswer) {
    release.Publish();
    TReply silent{200, "{}"};
    silent.Fault = TReply::TFault::StallBeforeHeaders;
    silent.tStall = 60s;
    server.Route(TestRelease::VersionPath(), silent);
    InstallInteractively();
    ASSERT_TRUE(WaitUntilHit(TestRelease::VersionPath()));
    engine->UndoInstall();
    EXPECT_TRUE(log.WaitForLine("Error getting vantix version info", 1, 5s));
}

}  // namespace

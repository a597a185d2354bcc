#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <thread>

#include "base/ExitCode.h"
#include "base/MessageIds.h"
#include "base/Texts.h"
#include "platform/Sha256Digest.h"
#include "support/FakeWorkerHost.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"
#include "support/TestZip.h"
#include "support/WaitUntil.h"
#include "workers/ExtractThread.h"
#include "workers/FileHashing.h"

namespace fs = std::filesystem;

namespace {

using namespace std::chrono_literals;

std::string Lower(std::string text) {
    for (char& ch : text) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return text;
}

// Every regular file under `root`, as paths relative to it.
std::vector<std::string> FilesUnder(const fs::path& root) {
    std::vector<std::string> files;
    for (auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file()) files.push_back(fs::relative(entry.path(), root).string());
    std::sort(files.begin(), files.end());
    return files;
}

PFileToDownload Package(const std::string& zip, const std::string& md5, const std::string& folder = "",
                        const std::string& name = "app.exe") {
    auto record = MakeRecord("http://127.0.0.1:1/files/" + md5, static_cast<int64_t>(zip.size()), md5, folder, name);
    record->Stream = std::make_unique<TPackage>();
    record->Stream->data = zip;
    return record;
}

// One extraction run: an engine stand-in unpacking into dir/temp, and its
// workers, which stop before the rest goes away.
class ExtractRun {
public:
    ExtractRun() : host(dir / "install", dir / "temp") {
        fs::create_directories(dir / "temp");
        TExtractThread::ResetCreateFailureFlag();
    }
    ~ExtractRun() {
        Stop();
        TExtractThread::ResetCreateFailureFlag();
    }

    fs::path Temp() const { return dir / "temp"; }
    void Start(int nWorkers = 1) { StartWorkers(host, workers, nWorkers); }
    void Stop() { StopWorkers(workers); }
    bool WaitValidated(uint32_t n) {
        return WaitUntil([&] { return host.Queues().ValidatedCount() >= n && host.Queues().ActiveWorkers() == 0; });
    }

    LogCapture log;
    TempDir dir;
    FakeWorkerHost host;
    std::vector<std::unique_ptr<TExtractThread>> workers;
};

TEST(ExtractThread, FileLandsUnderTheReleasesFolderAndNameAndIsChecked) {
    for (TZipCompression method : {TZipCompression::Store, TZipCompression::Deflate}) {
        SCOPED_TRACE(method == TZipCompression::Store ? "stored" : "deflated");
        ExtractRun run;
        const std::string content = "the program itself";
        const std::string md5 = Lower(Md5Upper(content));
        run.host.EnqueueItemForExtraction(Package(MakeTestZip({{"app.exe", content}}, method), md5, "bin\\sub\\"));
        run.Start();
        ASSERT_TRUE(run.WaitValidated(1));
        run.Stop();

        EXPECT_EQ(FilesUnder(run.Temp()), std::vector<std::string>{"bin/sub/app.exe"});
        EXPECT_EQ(ReadFileText(run.Temp() / "bin" / "sub" / "app.exe"), content);
        EXPECT_EQ(run.log.CountContaining("TExtractThread: Extracting=app.exe to=" + (run.Temp() / "bin/sub").string()), 1u);
        EXPECT_EQ(run.log.CountContaining("ValidateMD5Hash: File=app.exe Remote=" + md5 + " True"), 1u);
        EXPECT_FALSE(run.host.Md5Failed());
        EXPECT_EQ(run.host.Queues().DownloadCount(), 0u);
        EXPECT_TRUE(run.host.Window().Messages().empty());
    }
}

TEST(ExtractThread, OnlyTheFirstOfSeveralEntriesIsUnpacked) {
    ExtractRun run;
    const std::string zip = MakeTestZip({{"first.txt", "one"}, {"second.txt", "two"}, {"x/third.txt", "three"}});
    run.host.EnqueueItemForExtraction(Package(zip, Md5Upper("one"), "", "first.txt"));
    run.Start();
    ASSERT_TRUE(run.WaitValidated(1));
    EXPECT_EQ(FilesUnder(run.Temp()), std::vector<std::string>{"first.txt"});
}

TEST(ExtractThread, UnpackedFileReplacesAnOlderOneAndKeepsTheEntryMode) {
    ExtractRun run;
    WriteFileText(run.Temp() / "app.exe", "old version");
    WriteFileText(run.Temp() / "data.txt", "old data");
    run.host.EnqueueItemForExtraction(Package(MakeTestZip({{"app.exe", "new version", 0755}}), Md5Upper("new version")));
    run.host.EnqueueItemForExtraction(
        Package(MakeTestZip({{"data.txt", "new data", 0666}}), Md5Upper("new data"), "", "data.txt"));
    run.Start();
    ASSERT_TRUE(run.WaitValidated(2));
    EXPECT_EQ(ReadFileText(run.Temp() / "app.exe"), "new version");
    EXPECT_EQ(ReadFileText(run.Temp() / "data.txt"), "new data");
    EXPECT_EQ(fs::status(run.Temp() / "app.exe").permissions() & fs::perms::mask, static_cast<fs::perms>(0755));
    // Never writable by others, whatever the package says.
    EXPECT_EQ(fs::status(run.Temp() / "data.txt").permissions() & fs::perms::mask, static_cast<fs::perms>(0644));
    EXPECT_EQ(FilesUnder(run.Temp()), (std::vector<std::string>{"app.exe", "data.txt"}));
}

// The package's entry name never chooses the output: the release's folder and
// name do, and a differing entry name is logged once.
TEST(ExtractThread, TheReleasesNameDecidesWhereTheFileLands) {
    const std::string outside = "/tmp/vx-extract-outside-" + std::to_string(getpid());
    for (const std::string& entry :
         std::vector<std::string>{"bin/evil.sh", "../evil", "a/../../evil", outside, "database/desktops/x"}) {
        SCOPED_TRACE(entry);
        ExtractRun run;
        WriteFileText(run.Temp() / "bin" / "evil.sh", "installed");
        run.host.EnqueueItemForExtraction(
            Package(MakeTestZip({{entry, "read me"}}), Md5Upper("read me"), "", "readme.txt"));
        run.Start();
        ASSERT_TRUE(run.WaitValidated(1));
        run.Stop();
        EXPECT_EQ(ReadFileText(run.Temp() / "readme.txt"), "read me");
        EXPECT_EQ(FilesUnder(run.dir.path()), (std::vector<std::string>{"temp/bin/evil.sh", "temp/readme.txt"}));
        EXPECT_EQ(ReadFileText(run.Temp() / "bin" / "evil.sh"), "installed");
        EXPECT_EQ(run.log.Matching("differs from File="),
                  std::vector<std::string>{"TExtractThread: Package entry=" + entry +
                                           " differs from File=readme.txt; written as File"});
        EXPECT_FALSE(fs::exists(outside));
    }
    ExtractRun run;
    run.host.EnqueueItemForExtraction(Package(MakeTestZip({{"APP.EXE", "x"}}), Md5Upper("x")));
    run.Start();
    ASSERT_TRUE(run.WaitValidated(1));
    EXPECT_FALSE(run.log.Contains("differs from File=")) << "letter case alone is no difference";
}

// A file whose MD5 is not the release's never takes its name: whatever stood
// there (an installed file in an update) stays byte for byte, and no temporary
// file is left. In the window it is fetched again like a damaged package;
// unattended, the run goes on to its end, which reports it and fails.
TEST(ExtractThread, Md5MismatchIsNeverPlacedAndIsReportedOnce) {
    for (TCmdInstallType mode : {citNone, citUpdate}) {
        SCOPED_TRACE(int(mode));
        ExtractRun run;
        run.host.m_InstallType = mode;
        run.host.m_bNewInstall = false;
        WriteFileText(run.Temp() / "app.exe", "installed version");
        const std::string remote = "00112233445566778899aabbccddeeff";
        auto record = Package(MakeTestZip({{"app.exe", "content"}}), remote);
        const int64_t size = record->nDownloadSize;
        run.host.EnqueueItemForExtraction(std::move(record));
        run.Start();
        ASSERT_TRUE(WaitUntil([&] {
            return run.host.Queues().ActiveWorkers() == 0 &&
                   (run.host.Queues().ValidatedCount() == 1 || run.host.Queues().DownloadCount() == 1);
        }));
        run.Stop();

        EXPECT_EQ(ReadFileText(run.Temp() / "app.exe"), "installed version");
        EXPECT_EQ(FilesUnder(run.dir.path()), std::vector<std::string>{"temp/app.exe"});
        EXPECT_TRUE(run.host.Md5Failed());
        const auto infos = run.host.FailedMd5Infos();
        ASSERT_EQ(infos.size(), 1u);
        EXPECT_TRUE(infos[0].starts_with("File: app.exe Remote MD5: " + remote + " Local MD5: " + Md5Upper("content") +
                                         " Modified at: "))
            << infos[0];
        EXPECT_TRUE(infos[0].ends_with(" File size: 7 bytes")) << infos[0];
        EXPECT_EQ(run.log.Matching("Invalid hash for"),
                  std::vector<std::string>{"TExtractThread.Execute: Invalid hash for " + infos[0]});
        EXPECT_TRUE(run.host.Window().Messages().empty());
        if (mode == citNone) {
            auto back = run.host.DrainDownloads();
            ASSERT_EQ(back.size(), 1u);
            EXPECT_EQ(back[0]->nRetries, 1u);
            EXPECT_EQ(run.host.Queues().DownloadedSize(), -size);
            EXPECT_EQ(run.host.Queues().ValidatedCount(), 0u);
        } else {
            EXPECT_EQ(run.host.Queues().ValidatedCount(), 1u);
            EXPECT_EQ(run.host.Queues().DownloadCount(), 0u);
        }
    }
}

// A signed release also names the SHA-256 of each file; a file whose MD5 is
// right but whose SHA-256 is not is the release's own fault: refused, never
// placed, the installed file kept.
TEST(ExtractThread, AFileOfASignedReleaseMustHaveItsSha256) {
    for (const bool bRight : {true, false}) {
        SCOPED_TRACE(bRight ? "right" : "another SHA-256");
        ExtractRun run;
        run.host.m_bNewInstall = false;
        WriteFileText(run.Temp() / "app.exe", "installed version");
        auto record = Package(MakeTestZip({{"app.exe", "content"}}), Lower(Md5Upper("content")));
        record->strFileSha256 = bRight ? Sha256Hex("content") : Sha256Hex("contents");
        run.host.EnqueueItemForExtraction(std::move(record));
        run.Start();
        ASSERT_TRUE(WaitUntil([&] {
            return run.host.Queues().ActiveWorkers() == 0 &&
                   (run.host.Queues().ValidatedCount() == 1 || !run.host.Refusals().empty());
        }));
        run.Stop();
        EXPECT_EQ(ReadFileText(run.Temp() / "app.exe"), bRight ? "content" : "installed version");
        EXPECT_EQ(FilesUnder(run.dir.path()), std::vector<std::string>{"temp/app.exe"});
        EXPECT_EQ(run.host.Refusals(), bRight ? std::vector<std::string>{} : std::vector<std::string>{"file hash"});
        EXPECT_FALSE(run.host.Md5Failed());
        EXPECT_EQ(run.host.Queues().DownloadCount(), 0u);
    }
}

// Cancelling joins the workers: a large file being unpacked must end at its
// next block, not hold the window until it is whole. The installed file stays
// and the temporary one goes. Large enough that its unpacking is still going
// when the stop comes, however loaded the machine.
TEST(ExtractThread, StopEndsALargeUnpackingAndLeavesTheInstalledFile) {
    ExtractRun run;
    run.host.m_bNewInstall = false;
    WriteFileText(run.Temp() / "app.exe", "installed version");
    const std::string content(size_t(128) << 20, 'v');
    run.host.EnqueueItemForExtraction(Package(MakeTestZip({{"app.exe", content}}), Md5Upper(content)));
    run.Start();
    ASSERT_TRUE(WaitUntil([&] { return FilesUnder(run.Temp()).size() == 2; })) << "the temporary file appears";
    run.Stop();

    EXPECT_EQ(FilesUnder(run.Temp()), std::vector<std::string>{"app.exe"});
    // Compared as a flag: a failure must not print the 128 MiB it found.
    EXPECT_TRUE(ReadFileText(run.Temp() / "app.exe") == "installed version");
    EXPECT_EQ(run.host.Queues().ValidatedCount(), 0u);
    EXPECT_EQ(run.log.CountContaining("Unpacking of app.exe stopped"), 1u);
}

// A deflated entry whose recorded size is far below what it unpacks to.
std::string BombZip() {
    const std::string zeros(1024 * 1024, '\0');
    std::string zip = MakeTestZip({{"app.exe", zeros}}, TZipCompression::Deflate);
    const std::string real("\x00\x00\x10\x00", 4);  // 1 MiB, little-endian
    const std::string fake("\xe8\x03\x00\x00", 4);  // 1000
    for (size_t pos; (pos = zip.find(real)) != std::string::npos;) zip.replace(pos, 4, fake);
    return zip;
}

// A stored entry whose last data byte was changed on the way.
std::string CorruptZip() {
    std::string zip = MakeTestZip({{"app.exe", std::string(4096, 'A')}}, TZipCompression::Store);
    const size_t pos = zip.rfind(std::string(16, 'A'));
    zip[pos + 15] = 'B';
    return zip;
}

struct TDamagedCase {
    const char* label;
    std::string strPackage;
    std::string strMessage;  // expected in the "Exception=" line
};

std::vector<TDamagedCase> DamagedCases() {
    return {
        {"not a zip", "<html>Service unavailable</html>", "Cannot open package"},
        {"empty body", "", "Cannot open package"},
        {"more data than the entry declares", BombZip(), "unpacks to more than 1000 bytes"},
        {"damaged data", CorruptZip(), "Cannot unpack app.exe"},
    };
}

TEST(ExtractThread, DamagedPackageGoesBackToDownloadWithOneMoreTry) {
    const std::string outside = "/tmp/vx-extract-outside-" + std::to_string(getpid());
    for (const TDamagedCase& c : DamagedCases()) {
        SCOPED_TRACE(c.label);
        ExtractRun run;
        // An installed file of the same name must survive a failed unpacking.
        WriteFileText(run.Temp() / "app.exe", "installed version");
        const std::string md5 = "0123456789ABCDEF0123456789ABCDEF";
        auto record = Package(c.strPackage, md5);
        record->nRetries = 1;
        const int64_t size = record->nDownloadSize;
        run.host.EnqueueItemForExtraction(std::move(record));
        run.Start();
        ASSERT_TRUE(WaitUntil([&] { return run.host.Queues().DownloadCount() == 1 && run.host.Queues().ActiveWorkers() == 0; }));
        run.Stop();

        const auto lines = run.log.Matching("TExtractThread.Execute: Exception=");
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_NE(lines[0].find(c.strMessage), std::string::npos) << lines[0];
        EXPECT_NE(lines[0].find(". File=app.exe. Path=" + run.Temp().string() + "  Remote Md5=" + md5), std::string::npos)
            << lines[0];
        auto back = run.host.DrainDownloads();
        ASSERT_EQ(back.size(), 1u);
        EXPECT_EQ(back[0]->nRetries, 2u);
        EXPECT_EQ(back[0]->Stream, nullptr);
        EXPECT_EQ(run.host.Queues().DownloadedSize(), -size);
        EXPECT_EQ(run.host.Queues().ValidatedCount(), 0u);
        EXPECT_EQ(ReadFileText(run.Temp() / "app.exe"), "installed version");
        EXPECT_EQ(FilesUnder(run.dir.path()), std::vector<std::string>{"temp/app.exe"});
        EXPECT_FALSE(fs::exists(outside));
        EXPECT_FALSE(run.host.bInstallSuspended());
        EXPECT_TRUE(run.host.Window().Messages().empty());
    }
}

TEST(ExtractThread, UnattendedDamagedPackageEndsTheRunWithExitCodeMinus1) {
    ExtractRun run;
    run.host.m_InstallType = citInstall;
    SetExitCode(0);
    run.host.EnqueueItemForExtraction(Package("not a zip at all", "0123456789ABCDEF0123456789ABCDEF"));
    run.Start();
    ASSERT_TRUE(run.host.Window().WaitForCount(WM_QUIT, 1));
    ASSERT_TRUE(WaitUntil([&] { return run.host.Queues().ActiveWorkers() == 0; }));
    EXPECT_EQ(GetExitCode(), -1);
    SetExitCode(0);
    // The worker has ended: a good package queued now stays where it is.
    run.host.EnqueueItemForExtraction(Package(MakeTestZip({{"app.exe", "fine"}}), Md5Upper("fine")));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(run.host.Queues().ExtractionCount(), 1u);
    EXPECT_EQ(run.host.Queues().DownloadCount(), 0u);
    EXPECT_EQ(run.host.Window().Frames(), std::vector<int>{});
}

TEST(ExtractThread, OutputThatCannotBeCreatedAllowsOneRetryThenAborts) {
    ExtractRun run;
    // Made so that even root cannot create the files: a regular file where a
    // folder must go, and a folder where the file must go.
    WriteFileText(run.Temp() / "blocked", "a file, not a folder");
    fs::create_directories(run.Temp() / "app.exe");
    const std::string md5 = Md5Upper("content");
    const std::string zip = MakeTestZip({{"app.exe", "content"}});
    run.host.EnqueueItemForExtraction(Package(zip, md5, "blocked\\"));
    run.Start(2);

    ASSERT_TRUE(run.host.Window().WaitForCount(WM_CHANGE_VISIBLE_FRAME, 1));
    // The queue first, then the active count: a record in a worker's hands is never missed.
    ASSERT_TRUE(WaitUntil(
        [&] { return run.host.Queues().ExtractionCount() == 1 && run.host.Queues().ActiveWorkers() == 0; }));
    EXPECT_TRUE(run.host.bInstallSuspended());
    EXPECT_EQ(run.host.Window().Frames(), std::vector<int>{fiRetry});
    auto texts = run.host.Window().Messages(WM_SET_RETRY_MSG);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].text, txtInstallError);
    const auto created = run.log.Matching("TExtractThread.Execute: Exception (EFCreateError) =");
    ASSERT_EQ(created.size(), 1u);
    const std::string target = (run.Temp() / "blocked").string();
    EXPECT_NE(created[0].find(". File=app.exe. Path=" + target + "  Remote Md5=" + md5), std::string::npos)
        << created[0];
    EXPECT_EQ(run.log.CountContaining("TExtractThread.Execute: Extraction failed once. Retry allowed."), 1u);
    EXPECT_EQ(run.host.AbortCount(), 0);
    // Still waiting with its package, so a retry needs no new download.
    ASSERT_EQ(run.host.Queues().ExtractionCount(), 1u);
    EXPECT_EQ(run.host.Queues().DownloadCount(), 0u);

    // The user retries; another file fails the same way: the run is aborted.
    run.host.EnqueueItemForExtraction(Package(zip, md5));
    run.host.Resume();
    for (auto& w : run.workers) w->Wake();
    ASSERT_TRUE(run.log.WaitForLine("TExtractThread.Execute: Extraction failed again. Aborting..."));
    // Both workers may fail at once here; each failure after the first aborts.
    ASSERT_TRUE(WaitUntil([&] { return run.host.AbortCount() >= 1; }));
    EXPECT_EQ(run.host.Window().Frames(), std::vector<int>{fiRetry});
    run.Stop();
    auto waiting = run.host.DrainExtractions();
    EXPECT_EQ(waiting.size(), 2u);
    for (auto& record : waiting) EXPECT_NE(record->Stream, nullptr);
    EXPECT_EQ(FilesUnder(run.Temp()), std::vector<std::string>{"blocked"});
}

TEST(ExtractThread, ExtractFirstEntryRefusesEntriesThatAreNotFiles) {
    TempDir dir;
    // A folder entry first: nothing to check an MD5 against.
    const std::string zip = MakeTestZip({{"folder/", ""}, {"folder/app.exe", "x"}});
    EXPECT_THROW(ExtractFirstEntry(zip, dir.path()), std::runtime_error);
    EXPECT_TRUE(FilesUnder(dir.path()).empty());
}

}  // namespace

#include <gtest/gtest.h>
#include <httplib.h>

#include <functional>
#include <memory>
#include <thread>

#include "base/ExitCode.h"
#include "base/MessageIds.h"
#include "base/Texts.h"
#include "platform/Sha256Digest.h"
#include "support/FakeWorkerHost.h"
#include "support/LocalHttpServer.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"
#include "support/TestZip.h"
#include "support/WaitUntil.h"
#include "workers/DownloadThread.h"

namespace {

using namespace std::chrono_literals;

const std::string kMd5 = "0123456789abcdef0123456789abcdef";

std::string Md5Lower(const std::string& data) {
    std::string md5 = Md5Upper(data);
    for (char& ch : md5) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return md5;
}
const std::string kPrefix = "TDownloadThread.DownloadSingleFile: ";

// Answers every GET with a chunked body: no Content-Length, and the end of the
// body is known at once (a close-delimited body would wait for the server's
// keep-alive time).
class ChunkedBodyServer {
public:
    explicit ChunkedBodyServer(std::string body) {
        m_Server.Get(".*", [this, body](const httplib::Request&, httplib::Response& res) {
            ++m_nHits;
            res.set_chunked_content_provider("application/octet-stream",
                                             [body](size_t, httplib::DataSink& sink) {
                                                 sink.write(body.data(), body.size());
                                                 sink.done();
                                                 return true;
                                             });
        });
        m_nPort = m_Server.bind_to_any_port("127.0.0.1");
        m_Thread = std::thread([this] { m_Server.listen_after_bind(); });
        // Stopping a server that has not entered its loop yet would not stop it.
        while (!m_Server.is_running()) std::this_thread::sleep_for(1ms);
    }
    ~ChunkedBodyServer() {
        m_Server.stop();
        m_Thread.join();
    }
    std::string Url(const std::string& md5) const { return "http://127.0.0.1:" + std::to_string(m_nPort) + "/files/" + md5; }
    int Hits() const { return m_nHits.load(); }

private:
    httplib::Server m_Server;
    int m_nPort = 0;
    std::atomic<int> m_nHits{0};
    std::thread m_Thread;
};

// One download run: a server, an engine stand-in and its workers. Members go
// away in reverse order, so the workers stop before what they use.
class DownloadRun {
public:
    DownloadRun() : host(dir / "install", dir / "temp") {}
    ~DownloadRun() { Stop(); }

    std::string Url(const std::string& md5 = kMd5) const { return server.Url("/files/" + md5); }
    void Queue(int64_t size, const std::string& md5 = kMd5) { host.EnqueueItemForDownload(MakeRecord(Url(md5), size, md5)); }
    void Start(int nWorkers = 1) { StartWorkers(host, workers, nWorkers); }
    void Stop() { StopWorkers(workers); }
    // Each wait reads the queue before the active count: a worker counts itself
    // active before it takes a record and queues a record before it stops
    // counting, so a record in flight is never missed.
    //
    // Given up: the run is suspended and the records are back in the queue.
    bool WaitGivenUp(size_t nBack) {
        return WaitUntil([&] {
            return host.bInstallSuspended() && host.Queues().DownloadCount() == nBack &&
                   host.Queues().ActiveWorkers() == 0;
        });
    }
    bool WaitFetched(size_t nFetched) {
        return WaitUntil([&] { return host.Queues().ExtractionCount() == nFetched && host.Queues().ActiveWorkers() == 0; });
    }
    bool WaitCounted(int64_t nBytes) {
        return WaitUntil([&] { return host.Queues().DownloadedSize() == nBytes && host.Queues().ActiveWorkers() == 0; });
    }

    LogCapture log;
    TempDir dir;
    LocalHttpServer server;
    FakeWorkerHost host;
    std::vector<std::unique_ptr<TDownloadThread>> workers;
};

TEST(DownloadThread, NotFoundEveryTimeGivesThreeTriesThenTheRetryFrame) {
    DownloadRun run;
    run.server.Route("/files/" + kMd5, TReply{404, "nope"});
    run.Queue(10);
    run.Start();
    ASSERT_TRUE(run.WaitGivenUp(1));
    run.Stop();

    std::vector<std::string> expected;
    for (int n = 0; n < 3; ++n) {
        expected.push_back(kPrefix + "Try=" + std::to_string(n) + " ExpectedSize=10 URL=" + run.Url());
        expected.push_back(kPrefix + "Download failed, bad response | StatusCode=404 StatusText=Not Found Size=4 "
                                     "ExpectedSize=10 File=" + kMd5);
    }
    expected.push_back(kPrefix + "Download failed, retry limit reached | Try=3 File=" + kMd5);
    expected.push_back("TDownloadThread: Failed to download File=" + run.Url() + " HttpStatus=404");
    std::vector<std::string> actual;
    for (auto& line : run.log.Lines())
        if (line.rfind("TDownloadThread", 0) == 0) actual.push_back(line);
    EXPECT_EQ(actual, expected);

    EXPECT_EQ(run.server.HitCount("/files/" + kMd5), 3);
    EXPECT_EQ(run.host.Window().Frames(), std::vector<int>{fiRetry});
    auto texts = run.host.Window().Messages(WM_SET_RETRY_MSG);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].text, txtCheckConnection);
    auto back = run.host.DrainDownloads();
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0]->nRetries, 0u);
    EXPECT_EQ(back[0]->Stream, nullptr);
    EXPECT_EQ(run.host.Queues().DownloadedSize(), 0);
    EXPECT_EQ(run.host.PackageBudget().Held(), 0u);
}

// A body that never ends fills no memory and holds no try: past the declared
// size, or without one past what one package may take, the try fails at once.
TEST(DownloadThread, EndlessBodyEndsEachTryAtItsByteLimit) {
    for (int64_t size : {int64_t(1000), int64_t(0)}) {
        SCOPED_TRACE(size);
        DownloadRun run;
        run.host.PackageBudget().SetLimit(1 << 20);
        TReply endless{200, std::string(64 * 1024, 'e')};
        endless.Fault = TReply::TFault::EndlessBody;
        run.server.Route("/files/" + kMd5, endless);
        run.Queue(size);
        run.Start();
        ASSERT_TRUE(run.WaitGivenUp(1));
        run.Stop();
        EXPECT_EQ(run.server.HitCount("/files/" + kMd5), 3);
        EXPECT_EQ(run.log.CountContaining("Package body larger than " + std::to_string(size ? size : 1 << 20) + " bytes"),
                  3u);
        EXPECT_EQ(run.host.PackageBudget().Held(), 0u);
    }
}

struct TSizeCase {
    const char* label;
    TReply reply;  // a reply with the NoContentLength fault is sent chunked
    int64_t nExpectedSize;
    bool bAccepted;
    std::string strFailureLine;  // expected in the log once per try when refused
};

TEST(DownloadThread, SizeRuleDecidesWhetherATrySucceeds) {
    const std::string body = "package-bytes";
    const int64_t n = static_cast<int64_t>(body.size());
    const std::string size = std::to_string(n);
    TReply noLength{200, body};
    noLength.Fault = TReply::TFault::NoContentLength;
    TReply cutShort{200, body};
    cutShort.Fault = TReply::TFault::ShortBody;
    const std::vector<TSizeCase> cases = {
        {"exact size", {200, body}, n, true, ""},
        {"size 0 accepts any body", {200, body}, 0, true, ""},
        {"size 0 accepts an empty body", {200, ""}, 0, true, ""},
        {"one byte short of the expected size", {200, body.substr(1)}, n, false,
         "Download failed | StatusCode=200 StatusText=OK Size=" + std::to_string(n - 1) + " ExpectedSize=" + size},
        // Ended as soon as the byte beyond the expected size arrives.
        {"one byte more than expected", {200, body + "!"}, n, false,
         "TDownloadThread.DownloadSingleFile: Exception | Error=Package body larger than " + size + " bytes"},
        {"no Content-Length while a size is expected", noLength, n, false,
         "Download failed | StatusCode=200 StatusText=OK Size=-1 ExpectedSize=" + size},
        {"no Content-Length and size 0", noLength, 0, true, ""},
        {"connection closed before the announced length", cutShort, n, false,
         "TDownloadThread.DownloadSingleFile: Exception | Error="},
    };
    for (const TSizeCase& c : cases) {
        SCOPED_TRACE(c.label);
        DownloadRun run;
        ChunkedBodyServer chunked(c.reply.strBody);
        const bool bChunked = c.reply.Fault == TReply::TFault::NoContentLength;
        run.server.Route("/files/" + kMd5, c.reply);
        run.host.EnqueueItemForDownload(MakeRecord(bChunked ? chunked.Url(kMd5) : run.Url(), c.nExpectedSize, kMd5));
        run.Start();
        ASSERT_TRUE(c.bAccepted ? run.WaitFetched(1) : run.WaitGivenUp(1));
        run.Stop();
        if (c.bAccepted) {
            auto fetched = run.host.DrainExtractions();
            ASSERT_EQ(fetched.size(), 1u);
            ASSERT_NE(fetched[0]->Stream, nullptr);
            EXPECT_EQ(fetched[0]->Stream->data, c.reply.strBody);
            EXPECT_EQ(run.host.Queues().DownloadedSize(), c.nExpectedSize);
            EXPECT_EQ(run.server.HitCount("/files/" + kMd5) + chunked.Hits(), 1);
            EXPECT_TRUE(run.host.Window().Frames().empty());
        } else {
            EXPECT_EQ(run.log.CountContaining(c.strFailureLine), 3u);
            EXPECT_EQ(run.server.HitCount("/files/" + kMd5) + chunked.Hits(), 3);
            EXPECT_EQ(run.host.Queues().ExtractionCount(), 0u);
            EXPECT_EQ(run.host.Queues().DownloadedSize(), 0);
            EXPECT_EQ(run.host.Window().Frames(), std::vector<int>{fiRetry});
        }
    }
}

TEST(DownloadThread, SuccessIsLoggedQueuedThenCountedAndHoldsItsMemoryShare) {
    DownloadRun run;
    run.server.Route("/files/" + kMd5, TReply{200, "hello"});
    run.Queue(5);
    run.Start();
    ASSERT_TRUE(run.WaitFetched(1));
    run.Stop();

    EXPECT_EQ(run.log.CountContaining(kPrefix + "Try=0 ExpectedSize=5 URL=" + run.Url()), 1u);
    EXPECT_EQ(run.log.CountContaining(kPrefix + "Download succeeded | StatusCode=200 StatusText=OK Size=5 File=" + kMd5),
              1u);
    EXPECT_EQ(run.workers[0]->CurrDownloaded(), 5u);
    // The package keeps its share of the budget until the extract worker lets go of it.
    EXPECT_EQ(run.host.PackageBudget().Held(), 5u);
    auto fetched = run.host.DrainExtractions();
    ASSERT_EQ(fetched.size(), 1u);
    EXPECT_EQ(fetched[0]->nRetries, 0u);
    fetched.clear();
    EXPECT_EQ(run.host.PackageBudget().Held(), 0u);

    auto requests = run.server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].Header("Accept-Encoding"), "gzip, deflate");
    EXPECT_FALSE(requests[0].HasHeader("User-Agent"));
}

TEST(DownloadThread, ATryThatFailsIsCountedAndTheNextOneCanSucceed) {
    DownloadRun run;
    run.server.Route("/files/" + kMd5, [](const TRecordedRequest&, int nHit) {
        return nHit == 0 ? TReply{503, "busy"} : TReply{200, "hello"};
    });
    run.Queue(5);
    run.Start();
    ASSERT_TRUE(run.WaitFetched(1));
    run.Stop();
    auto fetched = run.host.DrainExtractions();
    ASSERT_EQ(fetched.size(), 1u);
    // The count is not reset by a success: it travels on with the record.
    EXPECT_EQ(fetched[0]->nRetries, 1u);
    EXPECT_EQ(run.log.CountContaining(kPrefix + "Try=1 ExpectedSize=5"), 1u);
    EXPECT_TRUE(run.host.Window().Frames().empty());
}

// A signed release's package must have its SHA-256 before anything opens it;
// one that has not is refused at once, without another try.
TEST(DownloadThread, APackageOfASignedReleaseIsCheckedBeforeItIsHandedOn) {
    for (const bool bRight : {true, false}) {
        SCOPED_TRACE(bRight ? "the package named" : "another package of the same size");
        DownloadRun run;
        run.server.Route("/files/" + kMd5, TReply{200, bRight ? "hello" : "jello"});
        PFileToDownload record = MakeRecord(run.Url(), 5, kMd5);
        record->strPackageSha256 = Sha256Hex("hello");
        run.host.EnqueueItemForDownload(std::move(record));
        run.Start();
        ASSERT_TRUE(WaitUntil([&] {
            return (bRight ? run.host.Queues().ExtractionCount() == 1 : !run.host.Refusals().empty()) &&
                   run.host.Queues().ActiveWorkers() == 0;
        }));
        run.Stop();
        EXPECT_EQ(run.host.Refusals(), bRight ? std::vector<std::string>{} : std::vector<std::string>{"package hash"});
        EXPECT_EQ(run.server.HitCount("/files/" + kMd5), 1);
        EXPECT_EQ(run.host.Queues().DownloadCount(), 0u);
        EXPECT_EQ(run.host.PackageBudget().Held(), bRight ? 5u : 0u) << "a refused package lets go of its memory";
    }
}

TEST(DownloadThread, TwoWorkersFailingTogetherPostOneRetryFrame) {
    DownloadRun run;
    // Each answer takes a moment, so both workers are busy with their own record.
    TReply slow404{404, "nope"};
    slow404.Fault = TReply::TFault::StallBeforeHeaders;
    slow404.tStall = 30ms;
    run.server.Route("/files/aaaa", slow404);
    run.server.Route("/files/bbbb", slow404);
    run.Queue(10, "aaaa");
    run.Queue(20, "bbbb");
    run.Start(2);
    ASSERT_TRUE(run.WaitGivenUp(2));
    run.Stop();

    EXPECT_EQ(run.server.HitCount("/files/aaaa"), 3);
    EXPECT_EQ(run.server.HitCount("/files/bbbb"), 3);
    EXPECT_EQ(run.host.Window().Frames(), std::vector<int>{fiRetry});
    EXPECT_EQ(run.host.Window().Count(WM_SET_RETRY_MSG), 1u);
    auto back = run.host.DrainDownloads();
    ASSERT_EQ(back.size(), 2u);
    for (auto& record : back) {
        EXPECT_EQ(record->nRetries, 0u);
        EXPECT_EQ(record->Stream, nullptr);
    }
}

TEST(DownloadThread, SuspendedRunTakesNoRecordUntilResumed) {
    DownloadRun run;
    run.server.Route("/files/" + kMd5, TReply{200, "hello"});
    run.host.SuspendInstallation();
    run.Queue(5);
    run.Start();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(run.server.HitCount("/files/" + kMd5), 0);
    EXPECT_EQ(run.host.Queues().DownloadCount(), 1u);
    run.host.Resume();
    run.workers[0]->Wake();
    ASSERT_TRUE(run.WaitFetched(1));
}

TEST(DownloadThread, UnattendedFailureEndsTheRunWithExitCode4) {
    DownloadRun run;
    run.server.Route("/files/" + kMd5, TReply{500, "broken"});
    run.host.m_InstallType = citUpdate;
    run.host.m_bNewInstall = true;
    SetExitCode(0);
    run.Queue(10);
    run.Start();
    ASSERT_TRUE(run.host.Window().WaitForCount(WM_QUIT, 1));
    ASSERT_TRUE(WaitUntil([&] { return run.host.Queues().ActiveWorkers() == 0; }));
    run.Stop();
    EXPECT_EQ(GetExitCode(), 4);
    SetExitCode(0);
    EXPECT_EQ(run.host.Queues().DownloadCount(), 0u);
    EXPECT_EQ(run.host.Queues().ExtractionCount(), 0u);
    EXPECT_FALSE(run.host.bInstallSuspended());
    EXPECT_TRUE(run.host.Window().Frames().empty());
    EXPECT_EQ(run.log.CountContaining("TDownloadThread: Failed to download File=" + run.Url() + " HttpStatus=500"), 1u);
}

struct TUpdateCase {
    const char* label;
    std::string strInstalled;  // content of the installed file; empty: none
    bool bUpperCaseMd5;
    bool bSkipped;
};

TEST(DownloadThread, UpdateSkipsFilesAlreadyInstalledCorrectly) {
    const std::string content = "installed program";
    const std::vector<TUpdateCase> cases = {
        {"same digest, lower case", content, false, true},
        {"same digest, upper case", content, true, true},
        {"other content", "an older program", false, false},
        {"no installed file", "", false, false},
    };
    for (const TUpdateCase& c : cases) {
        SCOPED_TRACE(c.label);
        DownloadRun run;
        if (!c.strInstalled.empty()) WriteFileText(run.dir / "install" / "sub" / "app.exe", c.strInstalled);
        const std::string md5 = c.bUpperCaseMd5 ? Md5Upper(content) : Md5Lower(content);
        run.server.Route("/files/" + md5, TReply{200, "zip!"});
        run.host.m_bNewInstall = false;
        run.host.EnqueueItemForDownload(MakeRecord(run.Url(md5), 4, md5, "sub\\", "app.exe"));
        run.Start();
        ASSERT_TRUE(run.WaitCounted(4));
        run.Stop();
        EXPECT_EQ(run.server.HitCount("/files/" + md5), c.bSkipped ? 0 : 1);
        EXPECT_EQ(run.host.Queues().ExtractionCount(), c.bSkipped ? 0u : 1u);
        EXPECT_EQ(run.host.Queues().DownloadedSize(), 4);
        EXPECT_EQ(run.host.Queues().ValidatedCount(), 0u);
        EXPECT_EQ(run.log.CountContaining("ValidateMD5Hash: File=app.exe Remote=" + md5 +
                                          (c.bSkipped ? " True" : " False")),
                  1u);
    }
}

TEST(DownloadThread, NewInstallNeverLooksAtTheInstallationFolder) {
    DownloadRun run;
    const std::string content = "installed program";
    WriteFileText(run.dir / "install" / "app.exe", content);
    const std::string md5 = Md5Lower(content);
    run.server.Route("/files/" + md5, TReply{200, "zip!"});
    run.host.EnqueueItemForDownload(MakeRecord(run.Url(md5), 4, md5, "", "app.exe"));
    run.Start();
    ASSERT_TRUE(run.WaitFetched(1));
    EXPECT_EQ(run.server.HitCount("/files/" + md5), 1);
    EXPECT_FALSE(run.log.Contains("ValidateMD5Hash"));
}

struct TStopCase {
    const char* label;
    TCmdInstallType installType;
    bool bServerGoesAway;  // false: the server keeps stalling while the worker stops
};

// The server stalls far longer than the client's 30 s low-speed limit: the
// worker must leave the transfer on its own, and a stop is never a failed try.
TEST(DownloadThread, StoppingMidDownloadPutsTheRecordBackWithoutCountingATry) {
    const std::vector<TStopCase> cases = {
        {"interactive, server keeps stalling", citNone, false},
        {"unattended, server keeps stalling", citUpdate, false},
        {"interactive, server goes away with the stop", citNone, true},
    };
    for (const TStopCase& c : cases) {
        SCOPED_TRACE(c.label);
        SetExitCode(0);
        DownloadRun run;
        run.host.m_InstallType = c.installType;
        TReply stalled{200, std::string(256 * 1024, 'z')};
        stalled.Fault = TReply::TFault::StallMidBody;
        stalled.tStall = 60s;
        run.server.Route("/files/" + kMd5, stalled);
        run.Queue(256 * 1024);
        run.Start();
        ASSERT_TRUE(WaitUntil([&] { return run.workers[0]->CurrDownloaded() > 0; }));
        const auto start = std::chrono::steady_clock::now();
        run.workers[0]->Terminate();
        if (c.bServerGoesAway) run.server.Stop();
        run.workers[0]->Join();
        EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);

        EXPECT_EQ(run.host.Queues().ExtractionCount(), 0u);
        auto back = run.host.DrainDownloads();
        ASSERT_EQ(back.size(), 1u);
        EXPECT_EQ(back[0]->nRetries, 0u);
        EXPECT_EQ(back[0]->Stream, nullptr);
        EXPECT_EQ(run.host.Queues().ActiveWorkers(), 0u);
        EXPECT_EQ(run.host.Queues().DownloadedSize(), 0);
        EXPECT_EQ(run.host.PackageBudget().Held(), 0u);
        EXPECT_EQ(run.server.HitCount("/files/" + kMd5), 1);
        EXPECT_EQ(run.log.CountContaining(kPrefix + "Download stopped, the worker is ending | Try=0 File=" + kMd5), 1u);
        EXPECT_FALSE(run.log.Contains("Failed to download"));
        EXPECT_FALSE(run.log.Contains(kPrefix + "Exception"));
        EXPECT_FALSE(run.host.bInstallSuspended());
        EXPECT_TRUE(run.host.Window().Messages().empty());
        EXPECT_EQ(GetExitCode(), 0);
    }
}

TEST(DownloadThread, TerminatedWorkerEndsItsLoopPromptly) {
    DownloadRun run;
    run.Start(2);
    std::this_thread::sleep_for(20ms);
    const auto start = std::chrono::steady_clock::now();
    run.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
}

}  // namespace

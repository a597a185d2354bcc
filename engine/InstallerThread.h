#pragma once
#include <atomic>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/CommandLine.h"
#include "engine/DownloadRun.h"
#include "engine/InstallationTarget.h"
#include "engine/InstallerEngine.h"
#include "engine/PlacementFileSystem.h"
#include "engine/UnattendedOutcome.h"
#include "platform/MessageTarget.h"
#include "platform/ProcessList.h"
#include "platform/RegistryHive.h"
#include "platform/ThreadMessageQueue.h"
#include "service/ProxySettings.h"
#include "service/ReleaseKeys.h"
#include "service/VantixVersion.h"

class THttpClient;

// What the engine needs from the machine, passed in so that tests can replace it.
struct TEngineEnvironment {
    std::vector<std::string> lstCommandLine;       // every word, the program's path first
    std::function<std::string()> fnMachineIdHex;   // eight upper-case hexadecimal digits
    std::function<std::string()> fnOsDescription;  // the system's name and version
    std::shared_ptr<IRegistryHive> hkcu;           // the current user's hive
    std::shared_ptr<IProcessList> processes;
    std::filesystem::path pathAppData;     // the roaming application-data folder
    std::string strServerUrl;              // the download service root
    std::string strInstallerVersionUrl;    // folder of the installer's version.txt
    std::string strLocalInstallerVersion;  // "major.minor" of this installer
    bool bX64 = true;                      // ask for the 64-bit release
    TReleaseKeys releaseKeys;              // none: releases are taken unsigned
    // The file operations of placement; the real file system when empty.
    std::shared_ptr<IPlacementFileSystem> placementFs;
    // Test knobs: how long the progress loop sleeps between reports, and a
    // fixed memory budget of packages waiting to be unpacked (0: the one the
    // release's download plan sets).
    std::chrono::milliseconds tProgressInterval{50};
    uint64_t nPackageBudget = 0;
};

// The installer engine: one long-lived thread with its own message queue that
// performs every step of an installation, an update or a repair, one message
// at a time, in the order posted. The download run it sets up is the workers'
// host.
//
// Threads: the constructor, Start, WaitStart, the posting operations and
// UndoInstall run on the window's thread; every handler runs on the engine
// thread. Nothing raised inside a handler escapes the thread: it is logged,
// reported silently and turned into an abort.
class TInstallerThread final : public IInstallerEngine {
public:
    TInstallerThread(IMessageTarget& mainHandle, TEngineEnvironment environment);
    // Stops the workers, ends the loop and joins the thread (the program itself
    // never does this: the engine ends with the process).
    ~TInstallerThread() override;
    TInstallerThread(const TInstallerThread&) = delete;
    TInstallerThread& operator=(const TInstallerThread&) = delete;

    void Start() override;
    // Returns once the loop is about to wait for its first message.
    // Rethrows what stopped the thread from starting (its HTTP client could
    // not be made, say): the thread then handles no message.
    void WaitStart() const override;

    // Requests from the window, posted to the engine's queue.
    void PostThreadMessage(TMessage msg) override;
    void PostThreadMessage(uint32_t message, uint64_t wParam = 0, int64_t lParam = 0);
    void SetUnnatendedValues(const std::string& strName, TCmdInstallType citType) override;
    void SetProxyConfig(const TProxySettings& proxy) override;
    void VerifyPreviousInstall() override;
    void VerifyInstallerHasUpdate() override;
    // The user cancelled a new installation: stop everything and remove the
    // temporary install folder (a bounded number of attempts). Window thread.
    void UndoInstall() override;

    // The support code: machine identifier, "_", start time as dd-mm-hh-nn.
    std::string Identifier() const override;
    // Whether the run makes a new installation (the close request asks).
    bool IsNewInstall() const override { return m_Run.IsNewInstall(); }
    // What the workers see of this engine: its download run.
    IWorkerHost& WorkerHost() { return m_Run; }

private:
    // Declared first: the window wrapper reads it.
    std::atomic<TCmdInstallType> m_CmdInstall{citNone};
    // The window, as every message of the engine and its workers reaches it.
    TUnattendedOutcome m_MainHandle;

    void Execute();
    void ProcessMessage(TMessage& msg);
    void LogMessage(const TMessage& msg);
    void Dispatch(TMessage& msg);
    void HandleFailure(const TMessage& msg, const std::exception& e);
    void LogReleaseKeys();

    // Start-up and target
    void WMSetProxyConfig(TMessage& msg);
    void WMSetUnnatendedValues(TMessage& msg);
    void WMVerifyPreviousInstall();
    void StartUnattended(const std::vector<std::string>& found);
    void WMSetInstallName(TMessage& msg);
    void WMSetNewInstall();
    void WMSetUpdateOnly();
    void EndUnattended(int exitCode);
    // Download run
    void WMSetupDownloads();
    bool ReadRelease(TVantixVersion& version);
    void VersionQueryFailed(const std::string& text);
    void WMStartDownloadThreads();
    void WMStartExtractThreads();
    void WMUpdateProgress();
    // An unattended run that a worker ended with a failure code.
    bool RunEndedByFailure() const;
    void FinishRun();
    void ReportFailedMd5();
    void WMRetry();
    void WMRunVantix();
    void VerifyInstallerUpdate();
    // Abort
    void WMAbortInstallation();
    void PostAbortMessages(const std::string& text);
    void PostStartingText();
    void PostProgressText();
    std::string InstallPath() const { return m_Run.InstallPath(); }
    std::string TempDownloadPath() const { return m_Run.TempDownloadPath(); }
    void TargetChanged();

    TEngineEnvironment m_Environment;
    TThreadMessageQueue m_Queue;
    std::thread m_Thread;
    std::atomic<bool> m_bGetMessageReady{false};

    std::string m_strIdentifier;        // written once before m_bGetMessageReady
    std::exception_ptr m_StartFailure;  // likewise
    std::unique_ptr<THttpClient> m_NetHttpClient;
    std::string m_strCmdName;
    uint32_t m_nWMUpdateProgressCount = 0;
    int m_nVersionQueryFailures = 0;

    TInstallationTarget m_Target;
    TDownloadRun m_Run;
};

#pragma once
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/CommandLine.h"
#include "platform/MessageTarget.h"
#include "platform/ThreadMessageQueue.h"
#include "service/ProxySettings.h"

// What the engine needs from the machine, passed in so that tests can replace it.
struct TEngineEnvironment {
    std::vector<std::string> lstCommandLine;          // every word, the program's path first
    std::function<std::string()> fnMachineIdHex;      // eight upper-case hexadecimal digits
    std::function<std::string()> fnOsDescription;     // the system's name and version
};

// The installer engine: one long-lived thread with its own message queue that
// performs every step of an installation, an update or a repair, one message
// at a time, in the order posted.
//
// Threads: the constructor, Start, WaitStart and the posting operations run on
// the window's thread; every handler runs on the engine thread. Nothing raised
// inside a handler escapes the thread: it is logged, reported silently and
// turned into an abort.
class TInstallerThread {
public:
    TInstallerThread(IMessageTarget& mainHandle, TEngineEnvironment environment);
    // Ends the loop and joins the thread (the program itself never does this:
    // the engine ends with the process).
    ~TInstallerThread();
    TInstallerThread(const TInstallerThread&) = delete;
    TInstallerThread& operator=(const TInstallerThread&) = delete;

    void Start();
    // Returns once the loop is about to wait for its first message.
    void WaitStart() const;

    // Requests from the window, posted to the engine's queue.
    void PostThreadMessage(TMessage msg);
    void PostThreadMessage(uint32_t message, uint64_t wParam = 0, int64_t lParam = 0);
    void SetUnnatendedValues(const std::string& strName, TCmdInstallType citType);
    void SetProxyConfig(const TProxySettings& proxy);
    void VerifyPreviousInstall();
    void VerifyInstallerHasUpdate();

    // Posts the abort messages; used by a worker that gives up. It does not
    // stop the workers or touch the suspension flag.
    void AbortUnexpectedError();

    bool bInstallSuspended() const { return m_bInstallationSuspended.load(); }
    TCmdInstallType GetInstallType() const { return m_CmdInstall.load(); }
    // The support code: machine identifier, "_", start time as dd-mm-hh-nn.
    std::string Identifier() const;
    // Settings of the engine's own HTTP client; engine thread, or before workers start.
    TProxySettings GetProxySettings() const { return m_ProxySettings; }

private:
    void Execute();
    void ProcessMessage(TMessage& msg);
    void LogMessage(const TMessage& msg);
    void Dispatch(TMessage& msg);
    void HandleFailure(const TMessage& msg, const std::exception& e);

    void WMSetProxyConfig(TMessage& msg);
    void WMSetUnnatendedValues(TMessage& msg);
    void WMAbortInstallation();
    void PostAbortMessages();
    void StopWorkers();

    IMessageTarget& m_MainHandle;
    TEngineEnvironment m_Environment;
    TThreadMessageQueue m_Queue;
    std::thread m_Thread;
    std::atomic<bool> m_bGetMessageReady{false};

    std::string m_strIdentifier;  // written once before m_bGetMessageReady
    TProxySettings m_ProxySettings;
    std::atomic<TCmdInstallType> m_CmdInstall{citNone};
    std::string m_strCmdName;
    std::atomic<bool> m_bInstallationSuspended{false};
    uint32_t m_nWMUpdateProgressCount = 0;
};

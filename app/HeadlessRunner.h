#pragma once
#include <cstdio>

#include "app/CommandLine.h"
#include "app/TerminalProgress.h"
#include "platform/ThreadMessageQueue.h"

// The window of a run without a display: it shows the engine's frames and
// texts as terminal lines and its progress like a download tool (one updating
// line on a terminal, plain lines otherwise). Post may be called from any
// thread; Run on the main thread only.
//
// An unattended run never waits for a click: a retry or aborted frame ends it
// with -1 (unless a more specific code was set), so calling software is never
// told that a failed installation succeeded.
class THeadlessRunner : public IMessageTarget {
public:
    THeadlessRunner(TCmdInstallType mode, std::FILE* out, bool isTerminal);

    using IMessageTarget::Post;
    void Post(TMessage msg) override;

    // Runs the message loop until the quit message; returns the exit code set.
    int Run();

private:
    void Handle(const TMessage& msg);
    void ShowFrame(const TMessage& msg);
    void ShowProgress(uint64_t done, uint64_t total);
    void PrintLine(const std::string& text);
    void EndProgressLine();

    TCmdInstallType m_CmdInstall;
    std::FILE* m_Out;
    bool m_bIsTerminal;
    TThreadMessageQueue m_Queue;
    TTerminalProgress m_Progress;
    bool m_bProgressLineOpen = false;
    int m_nLastPrintedPercent = -1;
    TTerminalProgress::Clock::time_point m_LastPrint{};
    std::string m_strPendingAbortText;
};

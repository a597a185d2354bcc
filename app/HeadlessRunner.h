#pragma once
#include <cstdio>

#include "app/TerminalProgress.h"
#include "platform/ThreadMessageQueue.h"

// The window of a run without a display: it shows the engine's frames and
// texts as terminal lines and its progress like a download tool (one updating
// line on a terminal, plain lines otherwise). Post may be called from any
// thread; Run on the main thread only.
//
// Unattended runs never wait here for a click: the engine ends them itself
// when a retry or aborted frame comes.
class THeadlessRunner : public IMessageTarget {
public:
    THeadlessRunner(std::FILE* out, bool isTerminal);

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

    std::FILE* m_Out;
    bool m_bIsTerminal;
    TThreadMessageQueue m_Queue;
    TTerminalProgress m_Progress;
    bool m_bProgressLineOpen = false;
    int m_nLastPrintedPercent = -1;
    TTerminalProgress::Clock::time_point m_LastPrint{};
    std::string m_strPendingAbortText;
};

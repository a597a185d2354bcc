#pragma once
#include <atomic>

#include "base/CommandLine.h"
#include "platform/MessageTarget.h"

// Stands between the engine (and its workers) and the window. In an unattended
// run nobody is there to click Retry or OK, so a retry or aborted frame ends the
// run instead: the frame is still shown, the exit code becomes -1 unless a more
// specific code was already set, and the window is told to quit. Calling
// software is never told that a failed installation succeeded.
//
// Threads: Post may be called from any thread; the mode is set by the engine.
class TUnattendedOutcome : public IMessageTarget {
public:
    TUnattendedOutcome(IMessageTarget& window, const std::atomic<TCmdInstallType>& mode);

    using IMessageTarget::Post;
    void Post(TMessage msg) override;

private:
    IMessageTarget& m_Window;
    const std::atomic<TCmdInstallType>& m_Mode;
};

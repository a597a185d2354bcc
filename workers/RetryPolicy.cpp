#include "workers/RetryPolicy.h"

#include <algorithm>

#include "base/ExitCode.h"
#include "base/MessageIds.h"
#include "platform/MessageTarget.h"
#include "workers/WorkerHost.h"

std::chrono::milliseconds TRetryPolicy::TryDeadline(uint64_t nBytes) {
    constexpr uint64_t kSlowestBytesPerSecond = 4096;
    constexpr std::chrono::milliseconds kFloor{std::chrono::minutes(2)};
    return std::max(kFloor, std::chrono::milliseconds(nBytes * 1000 / kSlowestBytesPerSecond));
}

void TRetryPolicy::ShowRetryFrame(IMessageTarget& window, const std::string& text) {
    window.PostText(WM_SET_RETRY_MSG, text);
    window.Post(WM_CHANGE_VISIBLE_FRAME, fiRetry);
}

void TRetryPolicy::SuspendAndShowRetry(IWorkerHost& host, const std::string& text,
                                       const std::function<void()>& putBack) {
    const bool bWasSuspended = host.SuspendInstallation();
    putBack();
    if (!bWasSuspended) ShowRetryFrame(host.MainHandle(), text);
}

void TRetryPolicy::EndUnattended(IMessageTarget& window, int exitCode) {
    SetExitCode(exitCode);
    window.PostQuit();
}

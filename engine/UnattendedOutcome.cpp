#include "engine/UnattendedOutcome.h"

#include "base/ExitCode.h"
#include "base/MessageIds.h"

TUnattendedOutcome::TUnattendedOutcome(IMessageTarget& window, const std::atomic<TCmdInstallType>& mode)
    : m_Window(window), m_Mode(mode) {}

void TUnattendedOutcome::Post(TMessage msg) {
    const bool endsRun = m_Mode.load() != citNone && msg.message == WM_CHANGE_VISIBLE_FRAME &&
                         ((msg.wParam & 0xFF) == fiRetry || (msg.wParam & 0xFF) == fiAborted);
    m_Window.Post(std::move(msg));
    if (!endsRun) return;
    if (GetExitCode() == ecSuccess) SetExitCode(ecUnexpected);
    m_Window.PostQuit();
}

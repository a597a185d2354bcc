#include "app/HeadlessRunner.h"

#include "base/ExitCode.h"
#include "base/MessageIds.h"
#include "base/Texts.h"

namespace {
constexpr auto kPlainLineInterval = std::chrono::seconds(2);
constexpr auto kTerminalRefresh = std::chrono::milliseconds(200);
}  // namespace

THeadlessRunner::THeadlessRunner(std::FILE* out, bool isTerminal) : m_Out(out), m_bIsTerminal(isTerminal) {}

void THeadlessRunner::Post(TMessage msg) { m_Queue.Post(std::move(msg)); }

int THeadlessRunner::Run() {
    TMessage msg;
    while (m_Queue.Get(msg)) Handle(msg);
    EndProgressLine();
    return GetExitCode();
}

void THeadlessRunner::Handle(const TMessage& msg) {
    switch (msg.message) {
        case WM_CHANGE_VISIBLE_FRAME:
            ShowFrame(msg);
            break;
        case WM_SET_PROGRESS:
            ShowProgress(msg.wParam, static_cast<uint64_t>(msg.lParam));
            break;
        case WM_SET_PROGRESS_MSG:
        case WM_SET_RETRY_MSG:
            PrintLine(msg.text);
            break;
        case WM_SET_ABORT_MSG:
            PrintLine(msg.text + msg.text2);
            break;
        default:
            break;
    }
}

void THeadlessRunner::ShowFrame(const TMessage& msg) {
    uint8_t frame = static_cast<uint8_t>(msg.wParam & 0xFF);
    if (frame == fiProgress && !msg.text.empty()) PrintLine(msg.text);
    if (frame == fiInstallDone) PrintLine(FrameText(TFrameTextKey::InstallDone_lblProgress, GetLanguage()));
}

void THeadlessRunner::ShowProgress(uint64_t done, uint64_t total) {
    auto now = TTerminalProgress::Clock::now();
    m_Progress.Update(done, total, now);
    if (m_bIsTerminal) {
        if (now - m_LastPrint < kTerminalRefresh && m_Progress.Percent() != 100) return;
        std::fprintf(m_Out, "\r\033[K%s", m_Progress.Line().c_str());
        std::fflush(m_Out);
        m_bProgressLineOpen = true;
    } else {
        int percent = m_Progress.Percent();
        if (percent == m_nLastPrintedPercent || (now - m_LastPrint < kPlainLineInterval && percent != 100)) return;
        m_nLastPrintedPercent = percent;
        PrintLine(m_Progress.Line());
    }
    m_LastPrint = now;
}

void THeadlessRunner::PrintLine(const std::string& text) {
    EndProgressLine();
    std::fprintf(m_Out, "%s\n", text.c_str());
    std::fflush(m_Out);
}

void THeadlessRunner::EndProgressLine() {
    if (!m_bProgressLineOpen) return;
    std::fputc('\n', m_Out);
    m_bProgressLineOpen = false;
}

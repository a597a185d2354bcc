#include "support/RecordingTarget.h"

#include "base/MessageIds.h"

void RecordingTarget::Post(TMessage msg) {
    {
        std::lock_guard lock(m_Mutex);
        m_lstMessages.push_back(std::move(msg));
    }
    m_Changed.notify_all();
}

std::vector<TMessage> RecordingTarget::Messages() const {
    std::lock_guard lock(m_Mutex);
    return m_lstMessages;
}

std::vector<TMessage> RecordingTarget::Messages(uint32_t message) const {
    std::vector<TMessage> result;
    for (auto& m : Messages())
        if (m.message == message) result.push_back(m);
    return result;
}

size_t RecordingTarget::Count(uint32_t message) const { return Messages(message).size(); }

std::vector<int> RecordingTarget::Frames() const {
    std::vector<int> frames;
    for (auto& m : Messages(WM_CHANGE_VISIBLE_FRAME)) frames.push_back(static_cast<int>(m.wParam));
    return frames;
}

bool RecordingTarget::WaitFor(const std::function<bool(const std::vector<TMessage>&)>& done,
                              std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_Mutex);
    return m_Changed.wait_for(lock, timeout, [&] { return done(m_lstMessages); });
}

bool RecordingTarget::WaitForCount(uint32_t message, size_t count, std::chrono::milliseconds timeout) const {
    return WaitFor(
        [&](const std::vector<TMessage>& all) {
            size_t n = 0;
            for (auto& m : all) n += m.message == message;
            return n >= count;
        },
        timeout);
}

#pragma once
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

#include "platform/MessageTarget.h"

// A message target that records what the engine and the workers post to "the
// window", so tests can check the frames, texts and order of messages.
class RecordingTarget : public IMessageTarget {
public:
    using IMessageTarget::Post;
    void Post(TMessage msg) override;

    std::vector<TMessage> Messages() const;
    // Messages with this number, in the order posted.
    std::vector<TMessage> Messages(uint32_t message) const;
    size_t Count(uint32_t message) const;
    // Frame indexes of the WM_CHANGE_VISIBLE_FRAME messages, in order.
    std::vector<int> Frames() const;
    // Waits until `done` holds for the messages so far; false on time-out.
    bool WaitFor(const std::function<bool(const std::vector<TMessage>&)>& done,
                 std::chrono::milliseconds timeout = std::chrono::seconds(20)) const;
    bool WaitForCount(uint32_t message, size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(20)) const;

private:
    mutable std::mutex m_Mutex;
    mutable std::condition_variable m_Changed;
    std::vector<TMessage> m_lstMessages;
};

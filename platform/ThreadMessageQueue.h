#pragma once
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

#include "platform/MessageTarget.h"

// A thread's first-in first-out message queue. It accepts posts from its
// creation on, so nothing posted before the owning thread waits is lost.
// Post may be called from any thread; Get only from the owning thread.
class TThreadMessageQueue : public IMessageTarget {
public:
    using IMessageTarget::Post;
    void Post(TMessage msg) override;

    // Waits for the next message. Returns false for the quit message.
    bool Get(TMessage& msg);
    // Waits at most `timeout`; empty when nothing arrived.
    std::optional<TMessage> GetFor(std::chrono::milliseconds timeout);
    // Takes the next message without waiting.
    std::optional<TMessage> Peek();
    size_t Size() const;

private:
    mutable std::mutex m_Mutex;
    std::condition_variable m_Ready;
    std::deque<TMessage> m_Queue;
};

#include "workers/BlockPipe.h"

TBlockPipe::TBlockPipe(TConsume consume, size_t nBlockSize, size_t nBlocks)
    : m_Consume(std::move(consume)), m_nBlockSize(nBlockSize), m_Sizes(nBlocks, 0) {
    m_Blocks.reserve(nBlocks);
    for (size_t i = 0; i < nBlocks; ++i) m_Blocks.push_back(std::make_unique_for_overwrite<char[]>(nBlockSize));
    m_Thread = std::thread([this] { Run(); });
}

TBlockPipe::~TBlockPipe() {
    {
        std::lock_guard lock(m_Mutex);
        m_bClosing = true;
    }
    m_Changed.notify_all();
    m_Thread.join();
}

std::span<char> TBlockPipe::Buffer() {
    std::unique_lock lock(m_Mutex);
    m_Changed.wait(lock, [this] { return m_Failure || m_nSubmitted - m_nConsumed < m_Blocks.size(); });
    ThrowIfFailed();
    return {m_Blocks[m_nSubmitted % m_Blocks.size()].get(), m_nBlockSize};
}

void TBlockPipe::Submit(size_t nSize) {
    {
        std::lock_guard lock(m_Mutex);
        ThrowIfFailed();
        m_Sizes[m_nSubmitted % m_Blocks.size()] = nSize;
        ++m_nSubmitted;
    }
    m_Changed.notify_all();
}

void TBlockPipe::Finish() {
    std::unique_lock lock(m_Mutex);
    m_Changed.wait(lock, [this] { return m_Failure || m_nConsumed == m_nSubmitted; });
    ThrowIfFailed();
}

void TBlockPipe::ThrowIfFailed() {
    if (m_Failure) std::rethrow_exception(m_Failure);
}

void TBlockPipe::Run() {
    std::unique_lock lock(m_Mutex);
    for (;;) {
        m_Changed.wait(lock, [this] { return m_bClosing || m_nConsumed < m_nSubmitted; });
        if (m_nConsumed == m_nSubmitted || m_bClosing) return;
        const size_t slot = m_nConsumed % m_Blocks.size();
        lock.unlock();
        std::exception_ptr failure;
        try {
            m_Consume(m_Blocks[slot].get(), m_Sizes[slot]);
        } catch (...) {
            failure = std::current_exception();
        }
        lock.lock();
        ++m_nConsumed;
        if (failure) {
            // Later blocks are never consumed: the producer learns of the
            // failure at its next call and stops.
            m_Failure = failure;
            m_nConsumed = m_nSubmitted;
        }
        m_Changed.notify_all();
    }
}

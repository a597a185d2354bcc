#pragma once
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

// Hands blocks of data from the calling thread to a thread of its own, which
// passes them in order to `consume`. An extract worker unpacking a large file
// then only decompresses, while writing and hashing the data run on the other
// core: a release's largest package, unpacked last and alone, otherwise keeps
// one core busy with work the idle one could do.
//
// One producer thread calls Buffer, Submit and Finish. A failure of `consume`
// stops the consuming of further blocks and is thrown to the producer by its
// next call. Destroying the pipe without Finish drops the blocks not yet
// consumed and waits for the one in hand.
class TBlockPipe {
public:
    using TConsume = std::function<void(const char* pData, size_t nSize)>;

    explicit TBlockPipe(TConsume consume, size_t nBlockSize = 256 * 1024, size_t nBlocks = 4);
    ~TBlockPipe();
    TBlockPipe(const TBlockPipe&) = delete;
    TBlockPipe& operator=(const TBlockPipe&) = delete;

    // The next block to fill; waits while every block is queued.
    std::span<char> Buffer();
    // Queues the first `nSize` bytes of the block Buffer gave.
    void Submit(size_t nSize);
    // Waits until every queued block is consumed.
    void Finish();

private:
    void Run();
    void ThrowIfFailed();

    const TConsume m_Consume;
    const size_t m_nBlockSize;
    std::vector<std::unique_ptr<char[]>> m_Blocks;
    std::vector<size_t> m_Sizes;
    std::mutex m_Mutex;
    std::condition_variable m_Changed;
    size_t m_nSubmitted = 0;  // blocks queued so far; block i lives in slot i % count
    size_t m_nConsumed = 0;   // blocks consumed (or dropped after a failure) so far
    bool m_bClosing = false;
    std::exception_ptr m_Failure;
    std::thread m_Thread;
};

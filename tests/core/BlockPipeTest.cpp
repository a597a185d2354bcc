#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>

#include "workers/BlockPipe.h"

namespace {

// Fills the pipe's blocks with numbered records of varying length; a consumer
// slower than the producer makes the producer wait for free blocks.
std::string PushRecords(TBlockPipe& pipe, int count) {
    std::string sent;
    for (int i = 0; i < count; ++i) {
        const std::string record = std::to_string(i) + std::string(static_cast<size_t>(i % 7), '.') + ";";
        const std::span<char> block = pipe.Buffer();
        std::memcpy(block.data(), record.data(), record.size());
        pipe.Submit(record.size());
        sent += record;
    }
    return sent;
}

}  // namespace

TEST(BlockPipe, ConsumesEveryBlockInOrderOnAnotherThread) {
    std::string received;
    std::atomic<bool> bOtherThread{true};
    const std::thread::id producer = std::this_thread::get_id();
    TBlockPipe pipe(
        [&](const char* data, size_t size) {
            if (std::this_thread::get_id() == producer) bOtherThread = false;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            received.append(data, size);
        },
        16, 3);
    const std::string sent = PushRecords(pipe, 200);
    pipe.Finish();
    EXPECT_EQ(received, sent);
    EXPECT_TRUE(bOtherThread);
}

TEST(BlockPipe, AFailureReachesTheProducerAndStopsTheConsuming) {
    int consumed = 0;
    TBlockPipe pipe(
        [&](const char*, size_t) {
            if (++consumed == 3) throw std::runtime_error("Cannot write file \"x\". No space left on device");
        },
        16, 2);
    try {
        PushRecords(pipe, 1000);
        pipe.Finish();
        FAIL() << "the failure was not reported";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot write file \"x\". No space left on device");
    }
    EXPECT_EQ(consumed, 3);
    EXPECT_THROW(pipe.Finish(), std::runtime_error);
}

TEST(BlockPipe, GoingAwayWithBlocksQueuedDropsThemWithoutWaiting) {
    std::atomic<int> consumed{0};
    {
        TBlockPipe pipe(
            [&](const char*, size_t) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                ++consumed;
            },
            16, 4);
        PushRecords(pipe, 4);
    }
    // The block in hand is finished, the queued ones are not.
    EXPECT_LT(consumed.load(), 4);
}

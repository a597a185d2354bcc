#include <gtest/gtest.h>

#include <mutex>
#include <thread>
#include <vector>

#include "platform/LogLine.h"

namespace {

class TRecordingWriter : public ILogLineWriter {
public:
    void Append(std::string_view text) noexcept override {
        std::lock_guard lock(m_Mutex);
        m_lstEntries.emplace_back(text);
    }
    void AppendLines(const std::vector<std::string>& lines) noexcept override {
        std::lock_guard lock(m_Mutex);
        for (const std::string& line : lines) m_lstEntries.push_back("+" + line);
    }
    std::vector<std::string> Entries() {
        std::lock_guard lock(m_Mutex);
        return m_lstEntries;
    }

private:
    std::mutex m_Mutex;
    std::vector<std::string> m_lstEntries;
};

// Puts back whichever writer the process had (its log, in this program).
struct TWriterScope {
    explicit TWriterScope(ILogLineWriter* writer) : pPrevious(SetLogLineWriter(writer)) {}
    ~TWriterScope() { SetLogLineWriter(pPrevious); }
    ILogLineWriter* pPrevious;
};

}  // namespace

TEST(LogLine, LinesReachOnlyTheInstalledWriterAndAreDroppedWithoutOne) {
    TRecordingWriter first, second;
    {
        TWriterScope scope(nullptr);
        AppendLog("dropped");
        SetLogLineWriter(&first);
        AppendLog("one");
        AppendLogLines({"a", "b"});
        SetLogLineWriter(&second);
        AppendLog("two");
        // A writer that was already replaced must not remove its successor.
        RemoveLogLineWriter(&first);
        AppendLog("three");
        RemoveLogLineWriter(&second);
        AppendLog("dropped too");
    }
    EXPECT_EQ(first.Entries(), (std::vector<std::string>{"one", "+a", "+b"}));
    EXPECT_EQ(second.Entries(), (std::vector<std::string>{"two", "three"}));
}

TEST(LogLine, EveryThreadsLinesArriveWhileTheWriterIsSwapped) {
    TRecordingWriter first, second;
    TWriterScope scope(&first);
    constexpr int kThreads = 4, kLines = 500;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([] {
            for (int i = 0; i < kLines; ++i) AppendLog("x");
        });
    SetLogLineWriter(&second);
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(first.Entries().size() + second.Entries().size(), size_t{kThreads * kLines});
}

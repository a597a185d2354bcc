#include <gtest/gtest.h>

#include "base/ExitCode.h"
#include "base/MessageIds.h"
#include "engine/UnattendedOutcome.h"
#include "support/RecordingTarget.h"

namespace {

struct OutcomeCase {
    TCmdInstallType mode;
    uint64_t frame;
    int codeBefore;
    bool quits;
    int codeAfter;
};

class UnattendedOutcomeTable : public ::testing::TestWithParam<OutcomeCase> {
protected:
    void TearDown() override { SetExitCode(0); }
};

TEST_P(UnattendedOutcomeTable, RetryAndAbortedFramesEndUnattendedRuns) {
    const auto& c = GetParam();
    SetExitCode(c.codeBefore);
    RecordingTarget window;
    std::atomic<TCmdInstallType> mode{c.mode};
    TUnattendedOutcome outcome(window, mode);
    outcome.Post(WM_CHANGE_VISIBLE_FRAME, c.frame);
    ASSERT_EQ(window.Frames(), std::vector<int>{int(c.frame)}) << "the frame is shown in every case";
    EXPECT_EQ(window.Count(WM_QUIT), c.quits ? 1u : 0u);
    EXPECT_EQ(GetExitCode(), c.codeAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UnattendedOutcomeTable,
    ::testing::Values(OutcomeCase{citInstall, fiRetry, 0, true, -1}, OutcomeCase{citUpdate, fiAborted, 0, true, -1},
                      OutcomeCase{citInstall, 256 + fiRetry, 0, true, -1},
                      OutcomeCase{citInstall, fiRetry, 4, true, 4},  // a more specific code stays
                      OutcomeCase{citInstall, fiProgress, 0, false, 0},
                      OutcomeCase{citInstall, fiInstallDone, 0, false, 0},
                      OutcomeCase{citNone, fiRetry, 0, false, 0},  // a person is there to click
                      OutcomeCase{citNone, fiAborted, 0, false, 0}));

TEST(UnattendedOutcome, OtherMessagesPassUnchanged) {
    RecordingTarget window;
    std::atomic<TCmdInstallType> mode{citInstall};
    TUnattendedOutcome outcome(window, mode);
    outcome.PostText(WM_SET_RETRY_MSG, "text");
    ASSERT_EQ(window.Messages().size(), 1u);
    EXPECT_EQ(window.Messages().front().text, "text");
}

}  // namespace

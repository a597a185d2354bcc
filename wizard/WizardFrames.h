#pragma once
#include <array>
#include <cstdint>
#include <string_view>

#include "base/CommandLine.h"
#include "base/MessageIds.h"

// No frame: the window shows its plain background.
inline constexpr int nNoFrame = -1;

// What the window must know of one frame, whatever draws it.
struct TWizardFrame {
    TFrameIndex index;
    std::string_view name;          // file names of pictures of the frame, logs
    bool bAsksBeforeClosing;        // something runs behind it that a close would cut short
    bool bHidesCloseInCommandLine;  // an unattended run must not be cancelled from it
};

// The wizard's frames, in the order of their indexes. The indexes themselves
// travel in WM_CHANGE_VISIBLE_FRAME, so they stay those of TFrameIndex; every
// count, range check or per-frame fact of the window comes from this table.
class TWizardFrames {
public:
    static constexpr std::array<TWizardFrame, 10> lstFrames = {{
        {fiCloseVantix, "close", true, false},
        {fiCreateInstall, "create-install", false, true},
        {fiInstallDone, "install-done", false, true},
        {fiInstall, "install", false, true},
        {fiInstallUpdate, "install-update", false, true},
        {fiProgress, "progress", true, true},
        {fiRetry, "retry", false, false},
        {fiAborted, "aborted", false, false},
        {fiSelectInstall, "select-install", false, true},
        {fiUpdateInstaller, "update-installer", false, false},
    }};
    static constexpr int nCount = static_cast<int>(lstFrames.size());

    static constexpr bool Contains(int index) { return index >= 0 && index < nCount; }
    // The frame an engine's frame change names: its low byte, or no frame when
    // that is outside the table.
    static int FromMessage(uint64_t wParam);
    // Null for an index outside the table.
    static const TWizardFrame* Find(int index);
    // No frame counts as one that asks: the window has not started its run yet,
    // but the engine may be busy.
    static bool AsksBeforeClosing(int index);
    static bool ShowsCloseButton(int index, TCmdInstallType cmdInstall);
};

namespace wizard_frames_detail {
constexpr bool InIndexOrder() {
    for (int i = 0; i < TWizardFrames::nCount; ++i)
        if (TWizardFrames::lstFrames[static_cast<size_t>(i)].index != i) return false;
    return true;
}
}  // namespace wizard_frames_detail
static_assert(wizard_frames_detail::InIndexOrder(), "a frame's row must sit at its index");
static_assert(TWizardFrames::nCount == fiUpdateInstaller + 1, "every TFrameIndex needs its row");

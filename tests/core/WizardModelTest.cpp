// The wizard's frames, its navigation and the texts each frame shows, without
// a window.
#include <gtest/gtest.h>

#include <set>

#include "base/ExitCode.h"
#include "base/MessageIds.h"
#include "base/Texts.h"
#include "wizard/WizardFrames.h"
#include "wizard/WizardNavigation.h"
#include "wizard/WizardTexts.h"

namespace {

using B = TWizardButton;

TEST(WizardFrames, FrameChangesUseTheLowByteAndNameNoFrameOutsideTheTable) {
    const std::vector<std::pair<uint64_t, int>> cases = {{0, fiCloseVantix}, {9, fiUpdateInstaller},
                                                         {10, nNoFrame},     {255, nNoFrame},
                                                         {261, fiProgress},  {0xFFFFFFFFFFFFFF03ULL, fiInstall}};
    for (const auto& [wParam, frame] : cases) EXPECT_EQ(TWizardFrames::FromMessage(wParam), frame) << wParam;
    EXPECT_EQ(TWizardFrames::Find(TWizardFrames::nCount), nullptr);
    EXPECT_EQ(TWizardFrames::Find(nNoFrame), nullptr);
}

TEST(WizardFrames, OnlyFramesWithARunBehindThemAskBeforeClosing) {
    std::set<int> asking;
    for (int frame = nNoFrame; frame <= TWizardFrames::nCount; ++frame)
        if (TWizardFrames::AsksBeforeClosing(frame)) asking.insert(frame);
    EXPECT_EQ(asking, (std::set<int>{nNoFrame, fiCloseVantix, fiProgress, TWizardFrames::nCount}));
}

TEST(WizardFrames, UnattendedRunsHideTheClosePictureWhereTheRunGoesOn) {
    std::set<int> hidden;
    for (const TWizardFrame& frame : TWizardFrames::lstFrames) {
        EXPECT_TRUE(TWizardFrames::ShowsCloseButton(frame.index, citNone));
        EXPECT_EQ(TWizardFrames::ShowsCloseButton(frame.index, citInstall),
                  TWizardFrames::ShowsCloseButton(frame.index, citUpdate));
        if (!TWizardFrames::ShowsCloseButton(frame.index, citInstall)) hidden.insert(frame.index);
    }
    EXPECT_EQ(hidden,
              (std::set<int>{fiCreateInstall, fiInstallDone, fiInstall, fiInstallUpdate, fiProgress, fiSelectInstall}));
}

struct NavigationRow {
    const char* name;
    B button;
    bool update, multiple;
    int next;
    std::vector<uint32_t> posted;
    bool quits = false;
};

TEST(WizardNavigation, EveryButtonLeadsWhereTheFactsSay) {
    const int stay = TWizardStep::nStay;
    const std::vector<NavigationRow> rows = {
        {"install, update pending", B::InstallInstall, true, false, fiUpdateInstaller, {}},
        {"install", B::InstallInstall, false, false, fiProgress, {WM_SET_NEW_INSTALL, WM_SETUP_DOWNLOADS}},
        {"new install, update pending", B::InstallUpdateInstall, true, true, fiUpdateInstaller, {}},
        {"new install beside others", B::InstallUpdateInstall, false, true, fiCreateInstall, {WM_SET_NEW_INSTALL}},
        {"new install", B::InstallUpdateInstall, false, false, fiProgress, {WM_SET_NEW_INSTALL, WM_SETUP_DOWNLOADS}},
        {"repair, update pending", B::InstallUpdateRepair, true, true, fiUpdateInstaller, {}},
        {"repair among several", B::InstallUpdateRepair, false, true, fiSelectInstall, {}},
        {"repair", B::InstallUpdateRepair, false, false, fiProgress, {WM_SET_UPDATE_ONLY, WM_SETUP_DOWNLOADS}},
        {"create install",
         B::CreateInstallContinue,
         false,
         true,
         fiProgress,
         {WM_SET_INSTALL_NAME, WM_SETUP_DOWNLOADS}},
        {"select install",
         B::SelectInstallContinue,
         false,
         true,
         fiProgress,
         {WM_SET_INSTALL_NAME, WM_SET_UPDATE_ONLY, WM_SETUP_DOWNLOADS}},
        {"retry", B::RetryRetry, false, false, fiProgress, {WM_RETRY}},
        {"open", B::InstallDoneOpen, false, false, stay, {WM_RUN_VANTIX}},
        {"aborted OK", B::AbortedOK, false, false, stay, {}, true},
        {"update installer", B::UpdateInstallerUpdate, false, false, stay, {}, true},
    };
    for (const NavigationRow& row : rows) {
        const TWizardStep step = TWizardNavigation::OnButton(row.button, {row.update, row.multiple}, "desk2");
        EXPECT_EQ(step.nNextFrame, row.next) << row.name;
        std::vector<uint32_t> posted;
        for (const TWizardRequest& request : step.lstRequests) {
            posted.push_back(request.message);
            // Only the name request carries the frame's text.
            EXPECT_EQ(request.text, request.message == WM_SET_INSTALL_NAME ? "desk2" : "") << row.name;
        }
        EXPECT_EQ(posted, row.posted) << row.name;
        EXPECT_EQ(step.bQuit, row.quits) << row.name;
        EXPECT_EQ(step.strOpenAddress.empty(), row.button != B::UpdateInstallerUpdate) << row.name;
    }
    EXPECT_TRUE(TWizardNavigation::OnButton(B::UpdateInstallerUpdate, {}).strOpenAddress.ends_with("/OrlaDesk.exe"));
}

TEST(WizardNavigation, UnattendedEndsNeverPassForSuccessAndUndoOnlyAFailedNewInstall) {
    struct Case {
        TCmdInstallType cmd;
        bool runEnded;
        int exitCode;
        bool newInstall;
        bool fails, undoes;
    };
    for (const Case& c : std::vector<Case>{{citNone, false, ecSuccess, true, false, false},
                                           {citInstall, false, ecSuccess, true, true, false},
                                           {citUpdate, false, ecSuccess, false, true, false},
                                           {citInstall, true, ecSuccess, true, false, false},
                                           {citInstall, false, ecUnexpected, true, false, true},
                                           {citInstall, true, ecDownloadFailed, false, false, false},
                                           {citUpdate, true, ecDownloadFailed, true, false, false}}) {
        EXPECT_EQ(TWizardNavigation::CancelledRunFails(c.cmd, c.runEnded, c.exitCode), c.fails);
        EXPECT_EQ(TWizardNavigation::QuitUndoesInstall(c.cmd, c.exitCode, c.newInstall), c.undoes);
    }
    EXPECT_EQ(TWizardNavigation::RegistrationFailureText("disk full"), "disk full");
    EXPECT_EQ(TWizardNavigation::RegistrationFailureText(""), txtUnexpectedError);
}

TEST(WizardTexts, EveryControlTextBelongsToExactlyOneFrame) {
    std::multiset<TFrameTextKey> shown;
    for (int frame = 0; frame < TWizardFrames::nCount; ++frame)
        for (TFrameTextKey key : TWizardTexts::Keys(frame)) shown.insert(key);
    for (size_t i = 0; i < nFrameTextKeyCount; ++i) {
        const auto key = static_cast<TFrameTextKey>(i);
        const bool message =
            key == TFrameTextKey::FillName || key == TFrameTextKey::NoSpaces || key == TFrameTextKey::NameUsed;
        EXPECT_EQ(shown.count(key), message ? 0u : 1u) << i;
    }
    EXPECT_TRUE(TWizardTexts::Keys(nNoFrame).empty());
    EXPECT_TRUE(TWizardTexts::Keys(TWizardFrames::nCount).empty());
}

TEST(WizardTexts, ShowingsWriteEveryLanguageButPortugueseKeepsFormAndStartingTexts) {
    for (size_t i = 0; i < nFrameTextKeyCount; ++i) {
        const auto key = static_cast<TFrameTextKey>(i);
        const TFrameTextRule rule = FrameTextRule(key);
        EXPECT_EQ(TWizardTexts::WrittenOnShowing(key, lngPortuguese), rule == ftrSet) << i;
        for (uint8_t language : {lngEnglish, lngSpanish})
            EXPECT_EQ(TWizardTexts::WrittenOnShowing(key, language), rule != ftrFixed) << i;
    }
    EXPECT_FALSE(TWizardTexts::NameFrameTranslates(lngPortuguese));
    EXPECT_TRUE(TWizardTexts::NameFrameTranslates(lngEnglish));
    EXPECT_TRUE(TWizardTexts::NameFrameTranslates(lngSpanish));
}

}  // namespace

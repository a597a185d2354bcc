// The window logic that the Qt and the Win32 window share, over a view that
// records what it is asked and the recording engine: both write into one log,
// so the order between what is shown and what is requested is checked too.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "base/ExitCode.h"
#include "base/MessageIds.h"
#include "base/Texts.h"
#include "support/RecordingEngine.h"
#include "wizard/WizardFrames.h"
#include "wizard/WizardView.h"
#include "wizard/WizardWindow.h"

namespace {

using Calls = std::vector<std::string>;
using B = TWizardButton;

class TRecordingView : public IWizardView {
public:
    explicit TRecordingView(Calls& calls) : m_Calls(calls) {}

    void ShowFrame(int index) override {
        m_nVisible = TWizardFrames::Contains(index) ? index : nNoFrame;
        m_Calls.push_back("ShowFrame " + std::to_string(index));
    }
    int VisibleFrame() const override { return m_nVisible; }
    void ReportProgress(int64_t done, int64_t total) override {
        m_Calls.push_back("ReportProgress " + std::to_string(done) + "/" + std::to_string(total));
    }
    void SetStatusText(const std::string& text) override { m_Calls.push_back("SetStatusText " + text); }
    void SetRetryText(const std::string& text) override { m_Calls.push_back("SetRetryText " + text); }
    void SetAbortTexts(const std::string& text, const std::string& identifier) override {
        m_Calls.push_back("SetAbortTexts " + text + " | " + identifier);
    }
    void InstallListChanged() override { m_Calls.push_back("InstallListChanged"); }
    void RaiseWindow() override { m_Calls.push_back("RaiseWindow"); }
    bool AskYesNo(const TMessageBoxText& question) override {
        m_Calls.push_back("AskYesNo " + question.strCaption + " | " + question.strText);
        return bAnswerYes;
    }
    void OpenAddress(const std::string& address) override { m_Calls.push_back("OpenAddress " + address); }
    void EndLoop() override { m_Calls.push_back("EndLoop"); }

    bool bAnswerYes = false;

private:
    Calls& m_Calls;
    int m_nVisible = nNoFrame;
};

TMessage InstallList(std::vector<std::string> keys) {
    TMessage msg = MakeMessage(WM_SET_INSTALL_LIST);
    msg.payload = std::move(keys);
    return msg;
}

// A window logic over the doubles. The exit code and the language are the
// process's: each rig starts them afresh and puts them back.
struct TRig {
    explicit TRig(std::vector<std::string> args = {"OrlaDesk"}) : wizard(view, TCommandLine(std::move(args))) {
        SetExitCode(ecSuccess);
        SetLanguage(lngPortuguese);
    }
    ~TRig() {
        SetExitCode(ecSuccess);
        SetLanguage(lngPortuguese);
    }

    void Start() {
        wizard.StartEngine(std::make_unique<TRecordingEngine>(log), {});
        log->lstCalls.clear();
    }
    void Deliver(TMessage msg) { wizard.HandleMessage(msg); }
    void Deliver(uint32_t number, uint64_t wParam = 0, std::string text = {}) {
        Deliver(MakeMessage(number, wParam, 0, std::move(text)));
    }
    // The calls since the last look.
    Calls Take() { return std::exchange(log->lstCalls, {}); }

    std::shared_ptr<TEngineLog> log = std::make_shared<TEngineLog>();
    TRecordingView view{log->lstCalls};
    TWizardWindow wizard;
};

std::string Frame(int index) { return "ShowFrame " + std::to_string(index); }

std::string Asked(uint8_t language) {
    const TMessageBoxText question = CloseQuestion(language);
    return "AskYesNo " + question.strCaption + " | " + question.strText;
}

TEST(WizardWindow, FirstRequestsFollowTheCommandLineAfterThePendingMessages) {
    TProxySettings withCredentials;
    withCredentials.FHost = "proxy.example";
    withCredentials.FPort = 8080;
    withCredentials.FUserName = "user";
    withCredentials.FPassword = "pw";
    struct Case {
        std::vector<std::string> args;
        TProxySettings proxy;
        Calls calls;
    };
    const std::vector<Case> cases = {
        {{"OrlaDesk"},
         {},
         {"Start", "WaitStart", "Pump", "SetUnnatendedValues  0", "SetProxyConfig :0   ", "VerifyPreviousInstall",
          "VerifyInstallerHasUpdate"}},
        // Unattended runs install what the server has: no update check.
        {{"OrlaDesk", "/update"},
         withCredentials,
         {"Start", "WaitStart", "Pump", "SetUnnatendedValues  2", "SetProxyConfig proxy.example:8080  user pw",
          "VerifyPreviousInstall"}},
        {{"OrlaDesk", "/install", "desk2"},
         {},
         {"Start", "WaitStart", "Pump", "SetUnnatendedValues desk2 1", "SetProxyConfig :0   ",
          "VerifyPreviousInstall"}},
        // A word that is not a mode keeps the wizard but passes the name on.
        {{"OrlaDesk", "/repair", "old"},
         {},
         {"Start", "WaitStart", "Pump", "SetUnnatendedValues old 0", "SetProxyConfig :0   ", "VerifyPreviousInstall",
          "VerifyInstallerHasUpdate"}},
    };
    for (const Case& c : cases) {
        TRig rig(c.args);
        rig.wizard.StartEngine(std::make_unique<TRecordingEngine>(rig.log), c.proxy,
                               [&rig] { rig.log->lstCalls.push_back("Pump"); });
        EXPECT_EQ(rig.log->lstCalls, c.calls) << c.args.back();
        EXPECT_NE(rig.wizard.Engine(), nullptr);
        EXPECT_EQ(rig.view.VisibleFrame(), nNoFrame);
    }
}

TEST(WizardWindow, EachMessageReachesItsPlaceOfTheView) {
    struct Row {
        const char* name;
        TMessage msg;
        Calls calls;
    };
    const std::vector<Row> rows = {
        {"progress", MakeMessage(WM_SET_PROGRESS, 420, 1000), {"ReportProgress 420/1000"}},
        // Products beyond 4 GiB report bytes that need all 64 bits.
        {"large progress",
         MakeMessage(WM_SET_PROGRESS, 6'000'000'000ULL, 8'000'000'000LL),
         {"ReportProgress 6000000000/8000000000"}},
        {"status", MakeMessage(WM_SET_PROGRESS_MSG, 0, 0, "Installing..."), {"SetStatusText Installing..."}},
        {"retry", MakeMessage(WM_SET_RETRY_MSG, 0, 0, "no network"), {"SetRetryText no network"}},
        {"abort",
         MakeMessage(WM_SET_ABORT_MSG, 0, 0, "failed", "ABCD1234_01-01-01-01"),
         {"SetAbortTexts failed | ABCD1234_01-01-01-01"}},
        {"raise", MakeMessage(WM_RAISE_RUNNING_WINDOW), {"RaiseWindow"}},
        {"install list", InstallList({"OrlaDesk"}), {"InstallListChanged"}},
        {"progress frame with its status",
         MakeMessage(WM_CHANGE_VISIBLE_FRAME, fiProgress, 0, "Getting Started..."),
         {Frame(fiProgress), "SetStatusText Getting Started..."}},
        // Without a text the frame keeps its own.
        {"progress frame alone", MakeMessage(WM_CHANGE_VISIBLE_FRAME, fiProgress), {Frame(fiProgress)}},
        {"progress frame in the low byte",
         MakeMessage(WM_CHANGE_VISIBLE_FRAME, 0x100 + fiProgress, 0, "Installing..."),
         {Frame(fiProgress), "SetStatusText Installing..."}},
        // Only the progress frame has a status line.
        {"retry frame with a text",
         MakeMessage(WM_CHANGE_VISIBLE_FRAME, fiRetry, 0, "Getting Started..."),
         {Frame(fiRetry)}},
        {"no frame", MakeMessage(WM_CHANGE_VISIBLE_FRAME, 10, 0, "Getting Started..."), {Frame(nNoFrame)}},
        {"engine's end", MakeMessage(WM_QUIT), {"EndLoop"}},
        // These only change what later decisions know.
        {"installer update", MakeMessage(WM_SET_INSTALLER_HAS_UPDATE), {}},
        {"error text", MakeMessage(WM_SET_ERROR_MESSAGE, 0, 0, "disk full"), {}},
        {"another status", MakeMessage(WM_SETUP_STATUS, nSetupStatusRegistrationFailed + 1), {}},
        // A request number is the engine's, not the window's.
        {"a request", MakeMessage(WM_RETRY, 1, 1, "x"), {}},
    };
    for (const Row& row : rows) {
        TRig rig;
        rig.Start();
        TMessage msg = row.msg;
        rig.Deliver(msg);
        EXPECT_EQ(rig.Take(), row.calls) << row.name;
        EXPECT_TRUE(rig.log->lstPosted.empty()) << row.name;
    }
}

TEST(WizardWindow, FactsFollowTheEnginesMessages) {
    TRig rig;
    rig.Start();
    EXPECT_FALSE(rig.wizard.Facts().bHasInstallerUpdate);
    EXPECT_FALSE(rig.wizard.Facts().bMultipleInstall);

    rig.Deliver(InstallList({"OrlaDesk", "OrlaDesk_alpha"}));
    rig.wizard.InstallList().Choose(1);
    EXPECT_TRUE(rig.wizard.Facts().bMultipleInstall);
    EXPECT_EQ(rig.wizard.InstallList().Installs(), (std::vector<std::string>{"OrlaDesk", "OrlaDesk_alpha"}));

    // A new list forgets the choice made in the old one.
    rig.Deliver(InstallList({"OrlaDesk_beta"}));
    EXPECT_EQ(rig.wizard.InstallList().Chosen(), TInstallListModel::nNoChoice);

    // A list message without its list empties the choices rather than keeping stale ones.
    rig.Deliver(WM_SET_INSTALL_LIST);
    EXPECT_FALSE(rig.wizard.Facts().bMultipleInstall);
    EXPECT_EQ(rig.Take(), (Calls{"InstallListChanged", "InstallListChanged", "InstallListChanged"}));

    rig.Deliver(WM_SET_INSTALLER_HAS_UPDATE);
    EXPECT_TRUE(rig.wizard.Facts().bHasInstallerUpdate);
    EXPECT_TRUE(rig.wizard.HasInstallerUpdate());
}

TEST(WizardWindow, FailedRegistrationShowsTheAbortedFrameWithTheLastErrorAndTheSupportCode) {
    const std::string id = TRecordingEngine::strIdentifier;
    struct Case {
        const char* name;
        std::vector<std::string> errors;  // WM_SET_ERROR_MESSAGE texts before the failure
        std::string shown;
    };
    const std::vector<Case> cases = {
        {"no error text", {}, txtUnexpectedError},
        {"one", {"disk full"}, "disk full"},
        {"the last one counts", {"disk full", "access denied"}, "access denied"},
    };
    for (const Case& c : cases) {
        TRig rig;
        rig.Start();
        rig.Deliver(WM_CHANGE_VISIBLE_FRAME, fiProgress);
        for (const std::string& error : c.errors) rig.Deliver(WM_SET_ERROR_MESSAGE, 0, error);
        rig.Take();
        rig.Deliver(WM_SETUP_STATUS, nSetupStatusRegistrationFailed);
        // The texts go in first, so the frame never shows those of an earlier failure.
        EXPECT_EQ(rig.Take(), (Calls{"SetAbortTexts " + c.shown + " | " + id, Frame(fiAborted)})) << c.name;
        EXPECT_EQ(rig.view.VisibleFrame(), fiAborted);
    }
}

TEST(WizardWindow, CloseAsksOnlyWhereARunMayGoOnBehindTheFrame) {
    for (int frame = nNoFrame; frame < TWizardFrames::nCount; ++frame) {
        const bool asks = frame == nNoFrame || frame == fiCloseVantix || frame == fiProgress;
        TRig rig;
        rig.Start();
        if (frame != nNoFrame) rig.Deliver(WM_CHANGE_VISIBLE_FRAME, static_cast<uint64_t>(frame));
        rig.Take();
        EXPECT_EQ(rig.wizard.CloseQuery(), !asks) << frame;
        const Calls expected = asks ? Calls{Asked(lngPortuguese)} : Calls{};
        EXPECT_EQ(rig.Take(), expected) << frame;
    }
}

TEST(WizardWindow, CloseQuestionSpeaksTheLanguageInForce) {
    for (uint8_t language : {lngPortuguese, lngEnglish, lngSpanish}) {
        TRig rig;
        rig.Start();
        SetLanguage(language);
        rig.wizard.CloseQuery();
        EXPECT_EQ(rig.Take(), (Calls{Asked(language)}));
    }
}

TEST(WizardWindow, CloseAnswerDecidesTheUndoAndTheExitCode) {
    struct Case {
        const char* name;
        std::vector<std::string> args;
        bool yes;
        bool newInstall;
        bool engineEnded;  // the engine's WM_QUIT came before the close
        int exitCodeBefore;
        bool closes;
        Calls calls;
        int exitCode;
    };
    const std::string ask = Asked(lngPortuguese);
    const std::vector<std::string> wizard = {"OrlaDesk"}, install = {"OrlaDesk", "/install"},
                                   update = {"OrlaDesk", "/update"};
    const std::vector<Case> cases = {
        {"No keeps everything", wizard, false, true, false, ecSuccess, false, {ask}, ecSuccess},
        {"No keeps an unattended run", install, false, true, false, ecSuccess, false, {ask}, ecSuccess},
        {"Yes undoes a new installation", wizard, true, true, false, ecSuccess, true, {ask, "UndoInstall"}, ecSuccess},
        {"Yes leaves a repaired one", wizard, true, false, false, ecSuccess, true, {ask}, ecSuccess},
        {"cancelled /install fails", install, true, true, false, ecSuccess, true, {ask, "UndoInstall"}, ecUnexpected},
        {"cancelled /update fails", update, true, false, false, ecSuccess, true, {ask}, ecUnexpected},
        {"the engine's own code stays", update, true, false, false, ecDownloadFailed, true, {ask}, ecDownloadFailed},
        {"a run the engine ended stays a success", update, true, false, true, ecSuccess, true, {ask}, ecSuccess},
    };
    for (const Case& c : cases) {
        TRig rig(c.args);
        rig.log->bNewInstall = c.newInstall;
        rig.Start();
        rig.Deliver(WM_CHANGE_VISIBLE_FRAME, fiProgress);
        if (c.engineEnded) rig.Deliver(WM_QUIT);
        SetExitCode(c.exitCodeBefore);
        rig.Take();
        rig.view.bAnswerYes = c.yes;
        EXPECT_EQ(rig.wizard.CloseQuery(), c.closes) << c.name;
        EXPECT_EQ(rig.Take(), c.calls) << c.name;
        EXPECT_EQ(GetExitCode(), c.exitCode) << c.name;
    }
}

// A failed unattended new installation leaves nothing unpacked behind, whether
// the engine ends the run or the aborted frame's OK does.
TEST(WizardWindow, QuitUndoesOnlyAFailedUnattendedNewInstallationBeforeTheLoopEnds) {
    struct Case {
        const char* name;
        std::vector<std::string> args;
        int exitCode;
        bool newInstall;
        bool undone;
    };
    const std::vector<Case> cases = {
        {"failed unattended installation", {"OrlaDesk", "/install"}, ecDownloadFailed, true, true},
        {"successful unattended installation", {"OrlaDesk", "/install"}, ecSuccess, true, false},
        {"failed unattended update", {"OrlaDesk", "/update"}, ecDownloadFailed, false, false},
        {"failed installation with the wizard", {"OrlaDesk"}, ecDownloadFailed, true, false},
    };
    for (const Case& c : cases) {
        for (bool byEngine : {true, false}) {
            TRig rig(c.args);
            rig.log->bNewInstall = c.newInstall;
            rig.Start();
            SetExitCode(c.exitCode);
            if (byEngine)
                rig.Deliver(WM_QUIT);
            else
                rig.wizard.Go(B::AbortedOK);
            const Calls expected = c.undone ? Calls{"UndoInstall", "EndLoop"} : Calls{"EndLoop"};
            EXPECT_EQ(rig.Take(), expected) << c.name << (byEngine ? " (engine)" : " (OK)");
            EXPECT_EQ(GetExitCode(), c.exitCode) << c.name;
        }
    }
}

// What Go does, in the log's words: the frame, the requests, the address, the end.
Calls Render(const TWizardStep& step) {
    Calls calls;
    if (step.nNextFrame != TWizardStep::nStay) calls.push_back(Frame(step.nNextFrame));
    for (const TWizardRequest& request : step.lstRequests) calls.push_back("Post " + MessageName(request.message));
    if (!step.strOpenAddress.empty()) calls.push_back("OpenAddress " + step.strOpenAddress);
    if (step.bQuit) calls.push_back("EndLoop");
    return calls;
}

TEST(WizardWindow, GoCarriesOutTheStepInOrderWithTheFactsTheEngineSent) {
    struct Row {
        const char* name;
        B button;
        bool update, multiple;
        std::string text;
        Calls calls;
        std::vector<std::string> postedTexts;
    };
    const std::vector<Row> rows = {
        {"install",
         B::InstallInstall,
         false,
         false,
         {},
         {Frame(fiProgress), "Post WM_SET_NEW_INSTALL", "Post WM_SETUP_DOWNLOADS"},
         {"", ""}},
        {"install, update pending", B::InstallInstall, true, false, {}, {Frame(fiUpdateInstaller)}, {}},
        {"new beside others",
         B::InstallUpdateInstall,
         false,
         true,
         {},
         {Frame(fiCreateInstall), "Post WM_SET_NEW_INSTALL"},
         {""}},
        {"named",
         B::CreateInstallContinue,
         false,
         true,
         "desk2",
         {Frame(fiProgress), "Post WM_SET_INSTALL_NAME", "Post WM_SETUP_DOWNLOADS"},
         {"desk2", ""}},
        {"open", B::InstallDoneOpen, false, false, {}, {"Post WM_RUN_VANTIX"}, {""}},
    };
    for (const Row& row : rows) {
        TRig rig;
        rig.Start();
        if (row.multiple) rig.Deliver(InstallList({"OrlaDesk", "OrlaDesk_alpha"}));
        if (row.update) rig.Deliver(WM_SET_INSTALLER_HAS_UPDATE);
        rig.Take();
        rig.wizard.Go(row.button, row.text);
        EXPECT_EQ(rig.Take(), row.calls) << row.name;
        std::vector<std::string> texts;
        for (const TMessage& msg : rig.log->lstPosted) texts.push_back(msg.text);
        EXPECT_EQ(texts, row.postedTexts) << row.name;
    }

    // Every button under every set of facts: exactly the step, in its order.
    for (int button = 0; button <= static_cast<int>(B::UpdateInstallerUpdate); ++button) {
        for (int facts = 0; facts < 4; ++facts) {
            TRig rig;
            rig.Start();
            if (facts & 1) rig.Deliver(WM_SET_INSTALLER_HAS_UPDATE);
            if (facts & 2) rig.Deliver(InstallList({"OrlaDesk"}));
            rig.Take();
            const TWizardFacts known{(facts & 1) != 0, (facts & 2) != 0};
            const auto pressed = static_cast<B>(button);
            rig.wizard.Go(pressed, "name");
            EXPECT_EQ(rig.Take(), Render(TWizardNavigation::OnButton(pressed, known, "name")))
                << "button " << button << ", facts " << facts;
        }
    }
}

// A press before the engine runs (the window is drawn before it starts) must
// not reach for an engine that is not there.
TEST(WizardWindow, RequestsBeforeTheEngineRunsAreDropped) {
    TRig rig;
    rig.wizard.Go(B::InstallInstall);
    rig.wizard.SetProxyConfig({});
    rig.view.bAnswerYes = true;
    EXPECT_TRUE(rig.wizard.CloseQuery());
    rig.Deliver(WM_SETUP_STATUS, nSetupStatusRegistrationFailed);
    rig.wizard.Quit();
    EXPECT_EQ(rig.Take(), (Calls{Frame(fiProgress), Asked(lngPortuguese), "SetAbortTexts " + txtUnexpectedError + " | ",
                                 Frame(fiAborted), "EndLoop"}));
    EXPECT_EQ(rig.wizard.Engine(), nullptr);
}

}  // namespace

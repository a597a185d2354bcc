// The main window: start-up requests, the navigation table, the engine's
// messages, the close question and Ctrl+C.
#include <QClipboard>
#include <QGuiApplication>
#include <QtTest>

#include "base/EditionConstants.h"
#include "base/ExitCode.h"
#include "base/MessageIds.h"
#include "service/ProxySettings.h"
#include "support/ProxyEnv.h"
#include "ui/CloseButton.h"
#include "ui/FrameAborted.h"
#include "ui/FrameCreateInstall.h"
#include "ui/FrameInstall.h"
#include "ui/FrameInstallDone.h"
#include "ui/FrameInstallUpdate.h"
#include "ui/FrameProgress.h"
#include "ui/FrameRetry.h"
#include "ui/FrameSelectInstall.h"
#include "ui/FrameUpdateInstaller.h"
#include "ui/GradientBitBtn.h"
#include "ui/InternetConfig.h"
#include "UiTestSupport.h"

namespace {

using Numbers = std::vector<uint32_t>;

std::string Describe(const Numbers& numbers) {
    std::string text;
    for (uint32_t n : numbers) text += MessageName(n) + " ";
    return text;
}

}  // namespace

class SetupFormTest : public QObject {
    Q_OBJECT
private slots:
    void startRequestsFollowTheCommandLine() {
        struct Case {
            std::vector<std::string> args;
            bool systemProxy;
            std::vector<std::string> calls;
        };
        const std::vector<Case> cases = {
            {{"OrlaDesk"}, false,
             {"Start", "WaitStart", "SetUnnatendedValues  0", "SetProxyConfig :0   ", "VerifyPreviousInstall",
              "VerifyInstallerHasUpdate"}},
            {{"OrlaDesk", "/update"}, true,
             {"Start", "WaitStart", "SetUnnatendedValues  2", "SetProxyConfig proxy.example:8080   ",
              "VerifyPreviousInstall"}},
            {{"OrlaDesk", "/install", "desk2"}, false,
             {"Start", "WaitStart", "SetUnnatendedValues desk2 1", "SetProxyConfig :0   ",
              "VerifyPreviousInstall"}},
            // An accepted word that is not a mode keeps the wizard but passes the name on.
            {{"OrlaDesk", "/repair", "old"}, false,
             {"Start", "WaitStart", "SetUnnatendedValues old 0", "SetProxyConfig :0   ", "VerifyPreviousInstall",
              "VerifyInstallerHasUpdate"}},
        };
        for (const Case& c : cases) {
            SetLanguage(lngPortuguese);
            auto log = std::make_shared<TEngineLog>();
            TWindowFixture fx;
            fx.log = log;
            fx.bSystemProxy = c.systemProxy;
            TSetupForm form(TCommandLine(c.args), fx.Services());
            QVERIFY(form.FormCreate());
            QCOMPARE(log->lstCalls, c.calls);
            QCOMPARE(form.InternetConfig().Choice(),
                     c.systemProxy ? TInternetConfig::pcBrowser : TInternetConfig::pcNone);
            QCOMPARE(form.VisibleFrame(), nNoFrame);
        }
    }

    // A proxy that asks for credentials works with a window as without one:
    // the window's start and the dialog's "browser" choice keep them.
    void systemProxyKeepsItsCredentials() {
        TProxyEnv env;
        env.Set("https_proxy", "http://user:pw@proxy.example:8080");
        auto log = std::make_shared<TEngineLog>();
        TWindowFixture fx;
        fx.log = log;
        fx.bSystemProxy = true;
        TSetupForm form(TCommandLine({"OrlaDesk", "/install"}), fx.Services());
        QVERIFY(form.FormCreate());
        QVERIFY(std::count(log->lstCalls.begin(), log->lstCalls.end(), "SetProxyConfig proxy.example:8080  user pw") == 1);
        const TProxySettings chosen = form.InternetConfig().ChosenSettings(fx.Services().fnSystemProxy);
        QCOMPARE(chosen.FUserName, std::string("user"));
        QCOMPARE(chosen.FPassword, std::string("pw"));
        QCOMPARE(chosen.FHost, ProxyFromSystem().FHost);
        QCOMPARE(chosen.FPort, ProxyFromSystem().FPort);
    }

    void startedWindowIsBorderlessAndOfTheWizardSize() {
        TWindowFixture fx;
        QCOMPARE(fx.form->size(), QSize(600, 250));
        QVERIFY(fx.form->windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(fx.form->windowTitle(), QString("Orla Desk"));
    }

    void everyRowOfTheNavigationTable() {
        struct Row {
            const char* name;
            int frame;                    // shown by the engine first
            bool update = false;          // the engine reported a newer installer
            bool multiple = false;        // installations were found
            std::function<void(TSetupForm&)> act;
            int nextFrame;
            Numbers posted;
            int quits = 0;
        };
        auto click = [](TGradientBitBtn* button) { QTest::mouseClick(button, Qt::LeftButton); };
        const std::vector<Row> rows = {
            {"install, update pending", fiInstall, true, false,
             [&](TSetupForm& f) { click(f.m_FrameInstall->btnInstall); }, fiUpdateInstaller, {}},
            {"install", fiInstall, false, false, [&](TSetupForm& f) { click(f.m_FrameInstall->btnInstall); },
             fiProgress, {WM_SET_NEW_INSTALL, WM_SETUP_DOWNLOADS}},
            {"new install, update pending", fiInstallUpdate, true, true,
             [&](TSetupForm& f) { click(f.m_FrameInstallUpdate->btnInstall); }, fiUpdateInstaller, {}},
            {"new install beside others", fiInstallUpdate, false, true,
             [&](TSetupForm& f) { click(f.m_FrameInstallUpdate->btnInstall); }, fiCreateInstall,
             {WM_SET_NEW_INSTALL}},
            {"new install", fiInstallUpdate, false, false,
             [&](TSetupForm& f) { click(f.m_FrameInstallUpdate->btnInstall); }, fiProgress,
             {WM_SET_NEW_INSTALL, WM_SETUP_DOWNLOADS}},
            {"repair, update pending", fiInstallUpdate, true, true,
             [&](TSetupForm& f) { click(f.m_FrameInstallUpdate->btnUpdate); }, fiUpdateInstaller, {}},
            {"repair among several", fiInstallUpdate, false, true,
             [&](TSetupForm& f) { click(f.m_FrameInstallUpdate->btnUpdate); }, fiSelectInstall, {}},
            {"repair", fiInstallUpdate, false, false,
             [&](TSetupForm& f) { click(f.m_FrameInstallUpdate->btnUpdate); }, fiProgress,
             {WM_SET_UPDATE_ONLY, WM_SETUP_DOWNLOADS}},
            {"create install with a valid name", fiCreateInstall, false, true,
             [&](TSetupForm& f) {
                 f.m_FrameCreateInstall->edtNome->setText("desk2");
                 click(f.m_FrameCreateInstall->btnInstall);
             },
             fiProgress, {WM_SET_INSTALL_NAME, WM_SETUP_DOWNLOADS}},
            {"select install", fiSelectInstall, false, true,
             [&](TSetupForm& f) { click(f.m_FrameSelectInstall->btnInstall); }, fiProgress,
             {WM_SET_INSTALL_NAME, WM_SET_UPDATE_ONLY, WM_SETUP_DOWNLOADS}},
            {"retry", fiRetry, false, false, [&](TSetupForm& f) { click(f.m_FrameRetry->btnRetry); }, fiProgress,
             {WM_RETRY}},
            {"open", fiInstallDone, false, false, [&](TSetupForm& f) { click(f.m_FrameInstallDone->btnOpen); },
             fiInstallDone, {WM_RUN_VANTIX}},
            {"aborted OK", fiAborted, false, false, [&](TSetupForm& f) { click(f.m_FrameAborted->btnOK); },
             fiAborted, {}, 1},
            {"update installer", fiUpdateInstaller, false, false,
             [&](TSetupForm& f) { click(f.m_FrameUpdateInstaller->btnUpdate); }, fiUpdateInstaller, {}, 1},
        };
        for (const Row& row : rows) {
            TWindowFixture fx;
            if (row.multiple) fx.DeliverInstallList({"OrlaDesk", "OrlaDesk_alpha"});
            if (row.update) fx.Deliver(WM_SET_INSTALLER_HAS_UPDATE);
            fx.Deliver(WM_CHANGE_VISIBLE_FRAME, static_cast<uint64_t>(row.frame));
            QVERIFY2(fx.form->VisibleFrame() == row.frame, row.name);
            fx.log->lstPosted.clear();
            row.act(*fx.form);
            QVERIFY2(fx.form->VisibleFrame() == row.nextFrame, row.name);
            QVERIFY2(fx.log->PostedNumbers() == row.posted,
                     (std::string(row.name) + ": posted " + Describe(fx.log->PostedNumbers())).c_str());
            QVERIFY2(fx.nQuits == row.quits, row.name);
        }
    }

    void postedTextsTravelWithTheirRequests() {
        TWindowFixture fx;
        fx.DeliverInstallList({"OrlaDesk_alpha"});
        fx.Deliver(WM_CHANGE_VISIBLE_FRAME, fiCreateInstall);
        fx.form->m_FrameCreateInstall->edtNome->setText("beta");
        fx.form->m_FrameCreateInstall->btnInstall->click();
        QCOMPARE(fx.log->lstPosted.at(0).text, std::string("beta"));
    }

    void updateInstallerOpensTheNewInstallersAddress() {
        TWindowFixture fx;
        fx.Deliver(WM_CHANGE_VISIBLE_FRAME, fiUpdateInstaller);
        fx.form->m_FrameUpdateInstaller->btnUpdate->click();
        QCOMPARE(fx.lstOpened.size(), size_t(1));
        QVERIFY(QString::fromStdString(fx.lstOpened[0]).endsWith("/OrlaDesk.exe"));
    }

    void licenceLinkOpensTheContractPage() {
        TWindowFixture fx;
        fx.Deliver(WM_CHANGE_VISIBLE_FRAME, fiInstall);
        QTest::mouseClick(fx.form->m_FrameInstall->Sentence.lblLink, Qt::LeftButton);
        QCOMPARE(fx.lstOpened.size(), size_t(1));
        QVERIFY(QString::fromStdString(fx.lstOpened[0]).contains("contrato"));
    }

    void frameIndexUsesTheLowByteAndHidesEverythingOutsideTheTable() {
        struct Case {
            uint64_t wParam;
            int visible;
        };
        for (const Case& c : std::vector<Case>{{10, nNoFrame}, {255, nNoFrame}, {261, fiProgress}, {9, 9}, {0, 0}}) {
            TWindowFixture fx;
            fx.Deliver(WM_CHANGE_VISIBLE_FRAME, fiInstall);
            fx.Deliver(WM_CHANGE_VISIBLE_FRAME, c.wParam);
            QCOMPARE(fx.form->VisibleFrame(), c.visible);
        }
    }

    void progressFrameTakesTheTextOfItsFrameChange() {
        TWindowFixture fx(lngEnglish);
        fx.Deliver(WM_CHANGE_VISIBLE_FRAME, fiProgress, 0, "Getting Started...");
        QCOMPARE(fx.form->m_FrameProgress->lblProgress->text(), QString("Getting Started..."));
        fx.Deliver(WM_SET_PROGRESS_MSG, 0, 0, "Installing...");
        QCOMPARE(fx.form->m_FrameProgress->lblProgress->text(), QString("Installing..."));
        // A later showing (after a retry) starts again from the frame's own text.
        fx.Deliver(WM_CHANGE_VISIBLE_FRAME, fiRetry);
        fx.Deliver(WM_CHANGE_VISIBLE_FRAME, fiProgress);
        QCOMPARE(fx.form->m_FrameProgress->lblProgress->text(), QString("Getting Started ..."));
    }

    void dataMessagesReachTheirFramesWithoutShowingThem() {
        TWindowFixture fx;
        fx.Deliver(WM_CHANGE_VISIBLE_FRAME, fiInstall);
        fx.Deliver(WM_SET_RETRY_MSG, 0, 0, "line one\r\nline two");
        fx.Deliver(WM_SET_ABORT_MSG, 0, 0, "failed: ", "ABCD1234_01-01-01-01");
        fx.Deliver(WM_SET_INSTALLER_HAS_UPDATE);
        QCOMPARE(fx.form->VisibleFrame(), int(fiInstall));
        QCOMPARE(fx.form->m_FrameRetry->lblAlert->text(), QString("line one\nline two"));
        QCOMPARE(fx.form->m_FrameAborted->lblAlert->text(), QString("failed: "));
        QCOMPARE(fx.form->m_FrameAborted->edtHardwareID->text(), QString("ABCD1234_01-01-01-01"));
        QVERIFY(fx.form->HasInstallerUpdate());
    }

    void installListSetsTheMultipleFlag() {
        TWindowFixture fx;
        fx.DeliverInstallList({"OrlaDesk", "OrlaDesk_a"});
        QVERIFY(fx.form->MultipleInstall());
        QCOMPARE(fx.form->m_FrameSelectInstall->m_lstRadio.size(), 2);
        fx.DeliverInstallList({});
        QVERIFY(!fx.form->MultipleInstall());
        QCOMPARE(fx.form->m_FrameSelectInstall->m_lstRadio.size(), 0);
    }

    void failedRegistrationShowsTheAbortedFrameWithTheSupportCode() {
        TWindowFixture fx;
        fx.Deliver(WM_CHANGE_VISIBLE_FRAME, fiProgress);
        fx.Deliver(WM_SET_ERROR_MESSAGE, 0, 0, txtUnexpectedError);
        fx.Deliver(WM_SETUP_STATUS, nSetupStatusRegistrationFailed);
        QCOMPARE(fx.form->VisibleFrame(), int(fiAborted));
        QCOMPARE(fx.form->m_FrameAborted->edtHardwareID->text(), QString("0011AABB_01-02-03-04"));
        QVERIFY(fx.form->m_FrameAborted->lblAlert->text().startsWith("Ocorreu um erro inesperado"));
    }

    void quitMessageEndsTheLoop() {
        TWindowFixture fx;
        fx.Deliver(WM_QUIT);
        QCOMPARE(fx.nQuits, 1);
    }

    void closeQuestionDependsOnTheVisibleFrame() {
        for (int frame = nNoFrame; frame <= fiUpdateInstaller; ++frame) {
            const bool asks = frame == nNoFrame || frame == fiCloseVantix || frame == fiProgress;
            TWindowFixture fx;
            fx.form->show();
            if (frame != nNoFrame) fx.Deliver(WM_CHANGE_VISIBLE_FRAME, static_cast<uint64_t>(frame));
            fx.prompts->bAnswerYes = false;
            fx.form->RequestClose();
            QCOMPARE(fx.prompts->lstShown.size(), size_t(asks ? 1 : 0));
            QCOMPARE(fx.nQuits, asks ? 0 : 1);
            QCOMPARE(fx.form->isVisible(), asks);
        }
    }

    void closeQuestionTextsFollowTheLanguage() {
        for (uint8_t language : {lngPortuguese, lngEnglish, lngSpanish}) {
            TWindowFixture fx(language);
            fx.Deliver(WM_CHANGE_VISIBLE_FRAME, fiProgress);
            fx.form->RequestClose();
            QCOMPARE(fx.prompts->lstShown.at(0).strKind, std::string("question"));
            QCOMPARE(fx.prompts->lstShown.at(0).strText, CloseQuestion(language).strText);
        }
        QCOMPARE(CloseQuestion(lngEnglish).strText, std::string("Do you want to cancel the installation?"));
    }

    void yesUndoesOnlyANewInstallation() {
        for (bool newInstall : {true, false}) {
            TWindowFixture fx;
            fx.log->bNewInstall = newInstall;
            fx.Deliver(WM_CHANGE_VISIBLE_FRAME, fiProgress);
            fx.prompts->bAnswerYes = true;
            QTest::mouseClick(fx.form->m_FrameProgress->CloseButton(), Qt::LeftButton);
            const bool undone = std::count(fx.log->lstCalls.begin(), fx.log->lstCalls.end(), "UndoInstall") == 1;
            QCOMPARE(undone, newInstall);
            QCOMPARE(fx.nQuits, 1);
            QVERIFY(!fx.form->isVisible());
        }
    }

    // Closing an unattended run (the window manager's close, then "Sim")
    // ends it as a failure, and a new installation is undone.
    void closingAnUnattendedRunEndsWithMinusOne() {
        for (const char* mode : {"/install", "/update"}) {
            SetExitCode(0);
            TWindowFixture fx(lngPortuguese, {"OrlaDesk", mode});
            fx.log->bNewInstall = std::string(mode) == "/install";
            fx.Deliver(WM_CHANGE_VISIBLE_FRAME, fiProgress);
            fx.prompts->bAnswerYes = true;
            fx.form->RequestClose();
            QCOMPARE(GetExitCode(), int(ecUnexpected));
            QCOMPARE(fx.nQuits, 1);
            const auto undos = std::count(fx.log->lstCalls.begin(), fx.log->lstCalls.end(), "UndoInstall");
            QCOMPARE(undos > 0, fx.log->bNewInstall);
        }
        SetExitCode(0);
    }

    // The engine's own end keeps its code; a failed unattended new
    // installation leaves nothing unpacked behind, a successful one stays.
    void theEnginesEndOfAnUnattendedRunKeepsItsCodeAndUndoesAFailedInstall() {
        struct Case {
            const char* mode;
            int exitCode;
            bool undone;
        };
        for (const Case& c : {Case{"/install", ecDownloadFailed, true}, Case{"/install", ecSuccess, false},
                              Case{"/update", ecDownloadFailed, false}}) {
            SetExitCode(c.exitCode);
            TWindowFixture fx(lngPortuguese, {"OrlaDesk", c.mode});
            fx.log->bNewInstall = std::string(c.mode) == "/install";
            fx.Deliver(WM_CHANGE_VISIBLE_FRAME, fiProgress);
            fx.Deliver(WM_QUIT);
            QCOMPARE(GetExitCode(), c.exitCode);
            QCOMPARE(fx.nQuits, 1);
            const bool undone = std::count(fx.log->lstCalls.begin(), fx.log->lstCalls.end(), "UndoInstall") == 1;
            QCOMPARE(undone, c.undone);
        }
        SetExitCode(0);
    }

    void closePictureHidesInCommandLineRuns() {
        TWindowFixture fx(lngPortuguese, {"OrlaDesk", "/install"});
        for (int frame : {fiCreateInstall, fiInstallDone, fiInstall, fiInstallUpdate, fiProgress, fiSelectInstall})
            QVERIFY(!fx.form->Frame(frame)->CloseButton()->isVisibleTo(fx.form->Frame(frame)));
        for (int frame : {fiCloseVantix, fiRetry, fiAborted, fiUpdateInstaller})
            QVERIFY(fx.form->Frame(frame)->CloseButton()->isVisibleTo(fx.form->Frame(frame)));
        TWindowFixture interactive;
        QVERIFY(interactive.form->Frame(fiProgress)->CloseButton()->isVisibleTo(interactive.form->Frame(fiProgress)));
    }

    void ctrlCCopiesTheMachineIdentifierFromAnyControl() {
        TWindowFixture fx;
        fx.DeliverInstallList({"OrlaDesk"});
        fx.Deliver(WM_CHANGE_VISIBLE_FRAME, fiCreateInstall);
        QGuiApplication::clipboard()->setText("before");
        QLineEdit* box = fx.form->m_FrameCreateInstall->edtNome;
        box->setText("typed");
        QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("C0FFEE42"));
        QCOMPARE(box->text(), QString("typed"));
        QGuiApplication::clipboard()->setText("before");
        QTest::keyClick(box, Qt::Key_C);
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("before"));
    }

    void missingPictureTellsTheUserAndEndsWithMinusOne() {
        for (uint8_t language : {lngPortuguese, lngEnglish, lngSpanish}) {
            SetLanguage(language);
            SetExitCode(0);
            TWindowFixture fx(language);
            TSetupForm broken(TCommandLine({"OrlaDesk"}), fx.Services(QStringLiteral(":/missing/")));
            fx.log->lstCalls.clear();
            fx.prompts->lstShown.clear();
            QVERIFY(!broken.FormCreate());
            QCOMPARE(GetExitCode(), -1);
            QVERIFY(fx.log->lstCalls.empty());
            QCOMPARE(fx.prompts->lstShown.size(), size_t(1));
            QCOMPARE(fx.prompts->lstShown[0].strKind, std::string("error"));
            const bool english = language == lngEnglish;
            QCOMPARE(fx.prompts->lstShown[0].strText,
                     std::string(english ? "Corrupted file. Please do a new download."
                                         : "Arquivo Corrompido. Por favor, fa\xC3\xA7" "a um novo download."));
            QCOMPARE(fx.prompts->lstShown[0].strCaption, std::string(english ? "Error" : "Erro"));
        }
        SetExitCode(0);
    }

    void socksChoiceIsSentWithItsScheme() {
        TWindowFixture fx;
        fx.fnDialog = [](QDialog& dialog) {
            auto& config = static_cast<TInternetConfig&>(dialog);
            config.SelectChoice(TInternetConfig::pcSocks);
            config.EdtProxySOCKs->setText("127.0.0.1");
            config.EdtSOCKsPort->setText("1080");
            return int(QDialog::Accepted);
        };
        fx.Deliver(WM_CHANGE_VISIBLE_FRAME, fiRetry);
        QTest::mouseClick(fx.form->m_FrameRetry->lblConfigInternet, Qt::LeftButton);
        QCOMPARE(fx.log->lstCalls.back(), std::string("SetProxyConfig 127.0.0.1:1080 socks5  "));
    }

    void cancelledDialogSendsNothingAndKeepsTheEdits() {
        TWindowFixture fx;
        int showings = 0;
        fx.fnDialog = [&showings](QDialog& dialog) {
            auto& config = static_cast<TInternetConfig&>(dialog);
            if (showings++ == 0) {
                config.SelectChoice(TInternetConfig::pcManual);
                config.EdtProxyIP->setText("10.0.0.1");
            }
            return int(QDialog::Rejected);
        };
        const size_t calls = fx.log->lstCalls.size();
        fx.form->ConfigInternet();
        fx.form->ConfigInternet();
        QCOMPARE(fx.log->lstCalls.size(), calls);
        QCOMPARE(fx.form->InternetConfig().EdtProxyIP->text(), QString("10.0.0.1"));
        QCOMPARE(fx.form->InternetConfig().Choice(), TInternetConfig::pcManual);
    }
};

VX_UI_TEST(SetupFormTest);
#include "SetupFormTest.moc"

// Renders every wizard frame in every language, the help window and the proxy
// dialog to PNG files, as a user would see them:
//
//   QT_QPA_PLATFORM=offscreen build-ui/bin/vx_screenshots build/screenshots
//
// The window runs with an idle engine; the data a frame shows during a run
// (choices, progress, failure texts) is fed to it as the engine would post it.
#include <QApplication>
#include <QDir>
#include <cstdio>

#include "base/HelpText.h"
#include "base/MessageIds.h"
#include "base/Texts.h"
#include "ui/Fonts.h"
#include "ui/FrameProgress.h"
#include "ui/HelpForm.h"
#include "ui/InternetConfig.h"
#include "ui/Pictures.h"
#include "ui/ProgressPanel.h"
#include "ui/SetupForm.h"
#include "wizard/WizardFrames.h"

namespace {

class TIdleEngine : public IInstallerEngine {
public:
    void Start() override {}
    void WaitStart() const override {}
    void SetUnnatendedValues(const std::string&, TCmdInstallType) override {}
    void SetProxyConfig(const TProxySettings&) override {}
    void VerifyPreviousInstall() override {}
    void VerifyInstallerHasUpdate() override {}
    void PostThreadMessage(TMessage) override {}
    bool IsNewInstall() const override { return true; }
    void UndoInstall() override {}
    std::string Identifier() const override { return "1A2B3C4D_10-12-09-41"; }
};

const char* const kLanguageNames[] = {"pt", "en", "es"};

bool Save(QWidget& widget, const QString& path) {
    if (widget.grab().save(path, "PNG")) return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
}

void Feed(TSetupForm& form, TMessage msg) {
    form.Post(std::move(msg));
    QCoreApplication::processEvents();
}

TMessage Message(uint32_t number, uint64_t wParam = 0, int64_t lParam = 0, std::string text = {},
                 std::string text2 = {}) {
    TMessage msg;
    msg.message = number;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.text = std::move(text);
    msg.text2 = std::move(text2);
    return msg;
}

bool RenderLanguage(uint8_t language, const QString& folder) {
    SetLanguage(language);
    TranslateEngineTexts(language);
    TSetupFormServices services;
    services.fnCreateEngine = [](IMessageTarget&) { return std::make_unique<TIdleEngine>(); };
    services.fnSystemProxy = [](std::string&, std::string&) { return false; };
    TSetupForm form(TCommandLine({"OrlaDesk"}), services);
    if (!form.FormCreate()) return false;
    form.show();

    TMessage list = Message(WM_SET_INSTALL_LIST);
    list.payload = std::vector<std::string>{"OrlaDesk", "OrlaDesk_trading", "OrlaDesk_backtest", "OrlaDesk_demo"};
    Feed(form, std::move(list));
    Feed(form, Message(WM_SET_RETRY_MSG, 0, 0, txtCheckConnection));
    Feed(form, Message(WM_SET_ABORT_MSG, 0, 0, txtUnexpectedError, "1A2B3C4D_10-12-09-41"));

    bool ok = true;
    const QString suffix = QString::fromLatin1(kLanguageNames[language]);
    for (const TWizardFrame& row : TWizardFrames::lstFrames) {
        const int frame = row.index;
        form.SetVisibleFrame(frame);
        if (frame == fiProgress) {
            Feed(form, Message(WM_SET_PROGRESS, 0, 1000));
            Feed(form, Message(WM_SET_PROGRESS, 420, 1000));
            Feed(form, Message(WM_SET_PROGRESS_MSG, 0, 0, txtInstalling));
        }
        QCoreApplication::processEvents();
        ok &= Save(form, QString("%1/frame%2-%3-%4.png").arg(folder).arg(frame).arg(QString::fromUtf8(row.name.data(), static_cast<int>(row.name.size()))).arg(suffix));
    }
    // The aborted frame also says when a release could not be verified.
    Feed(form, Message(WM_SET_ABORT_MSG, 0, 0, txtReleaseNotVerified, "1A2B3C4D_10-12-09-41"));
    form.SetVisibleFrame(fiAborted);
    QCoreApplication::processEvents();
    ok &= Save(form, QString("%1/aborted-unverified-%2.png").arg(folder, suffix));
    form.InternetConfig().ApplyLanguage();
    ok &= Save(form.InternetConfig(), QString("%1/proxy-dialog-%2.png").arg(folder, suffix));

    THelpForm help(BuildHelpText("OrlaDesk", language));
    help.show();
    QCoreApplication::processEvents();
    ok &= Save(help, QString("%1/help-%2.png").arg(folder, suffix));
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    LoadStandInFonts();
    InitPictureResources();
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    bool ok = true;
    for (uint8_t language : {lngPortuguese, lngEnglish, lngSpanish}) ok &= RenderLanguage(language, folder);
    return ok ? 0 : 1;
}

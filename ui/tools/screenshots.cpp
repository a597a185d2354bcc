// Renders every wizard frame in every language, the help window and the proxy
// dialog to PNG files, as a user would see them:
//
//   QT_QPA_PLATFORM=offscreen build-ui/bin/vx_screenshots build/screenshots
#include <QApplication>
#include <QDir>
#include <cstdio>

#include "base/HelpText.h"
#include "ui/HelpForm.h"
#include "ui/InternetConfig.h"
#include "ui/tools/IdleWindow.h"
#include "wizard/WizardFrames.h"

namespace {

bool Save(QWidget& widget, const QString& path) {
    if (widget.grab().save(path, "PNG")) return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
}

bool RenderLanguage(uint8_t language, const QString& folder) {
    const std::unique_ptr<TSetupForm> form = NewIdleWindow(language);
    if (!form) return false;
    bool ok = true;
    const QString suffix = QString::fromLatin1(LanguageShortName(language));
    for (const TWizardFrame& row : TWizardFrames::lstFrames) {
        ShowFrame(*form, row.index);
        const QString name = QString::fromUtf8(row.name.data(), static_cast<int>(row.name.size()));
        ok &= Save(*form, QString("%1/frame%2-%3-%4.png").arg(folder).arg(row.index).arg(name, suffix));
    }
    ShowUnverifiedAbort(*form);
    ok &= Save(*form, QString("%1/aborted-unverified-%2.png").arg(folder, suffix));
    form->InternetConfig().ApplyLanguage();
    ok &= Save(form->InternetConfig(), QString("%1/proxy-dialog-%2.png").arg(folder, suffix));

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
    PrepareToolApplication();
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    bool ok = true;
    for (uint8_t language : kToolLanguages) ok &= RenderLanguage(language, folder);
    return ok ? 0 : 1;
}

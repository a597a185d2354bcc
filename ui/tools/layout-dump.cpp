// Prints where every visible control of the installer window stands, frame by
// frame and language by language, as the Qt window lays it out:
//
//   QT_QPA_PLATFORM=offscreen build/bin/vx_layout_dump > winui/tests/data/qt-layout.txt
//
// One line a control: "<lang> <frame> <control> <x> <y> <w> <h>", in the
// coordinates of its frame (of the dialog, for the proxy dialog and the help
// window), the control named as the Qt classes' members are. The Win32 window's
// tests hold their own layout against this file.
#include <QApplication>
#include <QTextStream>
#include <utility>
#include <vector>

#include "base/HelpText.h"
#include "ui/CloseButton.h"
#include "ui/FrameAborted.h"
#include "ui/FrameCloseVantix.h"
#include "ui/FrameCreateInstall.h"
#include "ui/FrameInstall.h"
#include "ui/FrameInstallDone.h"
#include "ui/FrameInstallUpdate.h"
#include "ui/FrameProgress.h"
#include "ui/FrameRetry.h"
#include "ui/FrameSelectInstall.h"
#include "ui/FrameUpdateInstaller.h"
#include "ui/GradientBitBtn.h"
#include "ui/HelpForm.h"
#include "ui/InternetConfig.h"
#include "ui/LinkLabel.h"
#include "ui/PictureBox.h"
#include "ui/ProgressPanel.h"
#include "ui/tools/IdleWindow.h"
#include "wizard/WizardFrames.h"

namespace {

using TControls = std::vector<std::pair<QString, QWidget*>>;

void AddSentence(TControls& controls, const TLicenceSentence& sentence) {
    controls.insert(controls.end(), {{"lblText", sentence.lblText},
                                     {"lblText2", sentence.lblText2},
                                     {"lblLink", sentence.lblLink},
                                     {"lblDot", sentence.lblDot}});
}

// The frame's members, in the order its class declares them.
TControls FrameControls(TFrameBase& frame) {
    TControls controls = {{"imgClose", frame.CloseButton()}};
    if (auto* f = dynamic_cast<TFrameCloseVantix*>(&frame)) {
        controls.insert(controls.end(), {{"imgAlert", f->imgAlert}, {"lblAlert", f->lblAlert}});
    } else if (auto* f = dynamic_cast<TFrameCreateInstall*>(&frame)) {
        controls.insert(controls.end(), {{"imgLines", f->imgLines},
                                         {"imgLogo", f->imgLogo},
                                         {"lblInstalado", f->lblInstalado},
                                         {"edtNome", f->edtNome},
                                         {"btnInstall", f->btnInstall}});
    } else if (auto* f = dynamic_cast<TFrameInstall*>(&frame)) {
        controls.insert(controls.end(), {{"imgLines", f->imgLines},
                                         {"imgLogo", f->imgLogo},
                                         {"btnInstall", f->btnInstall},
                                         {"lblConfigInternet", f->lblConfigInternet}});
        AddSentence(controls, f->Sentence);
    } else if (auto* f = dynamic_cast<TFrameInstallDone*>(&frame)) {
        controls.insert(controls.end(), {{"imgLines", f->imgLines},
                                         {"imgLogo", f->imgLogo},
                                         {"lblProgress", f->lblProgress},
                                         {"btnOpen", f->btnOpen}});
    } else if (auto* f = dynamic_cast<TFrameInstallUpdate*>(&frame)) {
        controls.insert(controls.end(), {{"imgLines", f->imgLines},
                                         {"imgLogo", f->imgLogo},
                                         {"btnUpdate", f->btnUpdate},
                                         {"btnInstall", f->btnInstall},
                                         {"lblConfigInternet", f->lblConfigInternet}});
        AddSentence(controls, f->Sentence);
    } else if (auto* f = dynamic_cast<TFrameProgress*>(&frame)) {
        controls.insert(controls.end(), {{"imgLines", f->imgLines},
                                         {"imgLogo", f->imgLogo},
                                         {"lblProgress", f->lblProgress},
                                         {"pbProgressBar", f->pbProgressBar}});
    } else if (auto* f = dynamic_cast<TFrameRetry*>(&frame)) {
        controls.insert(controls.end(), {{"btnRetry", f->btnRetry},
                                         {"imgAlert", f->imgAlert},
                                         {"lblAlert", f->lblAlert},
                                         {"lblConfigInternet", f->lblConfigInternet}});
    } else if (auto* f = dynamic_cast<TFrameAborted*>(&frame)) {
        controls.insert(controls.end(), {{"btnOK", f->btnOK},
                                         {"imgAlert", f->imgAlert},
                                         {"lblAlert", f->lblAlert},
                                         {"edtHardwareID", f->edtHardwareID}});
    } else if (auto* f = dynamic_cast<TFrameSelectInstall*>(&frame)) {
        controls.insert(controls.end(), {{"btnInstall", f->btnInstall},
                                         {"lblInstalado", f->lblInstalado},
                                         {"imgLines", f->imgLines},
                                         {"imgLogo", f->imgLogo}});
        for (int i = 0; i < f->m_lstRadio.size(); ++i)
            controls.emplace_back(QString("radio%1").arg(i), f->m_lstRadio[i]);
        for (int i = 0; i < f->m_lstLabel.size(); ++i)
            controls.emplace_back(QString("choice%1").arg(i), f->m_lstLabel[i]);
    } else if (auto* f = dynamic_cast<TFrameUpdateInstaller*>(&frame)) {
        controls.insert(controls.end(),
                        {{"btnUpdate", f->btnUpdate}, {"imgAlert", f->imgAlert}, {"lblAlert", f->lblAlert}});
    }
    return controls;
}

TControls ProxyDialogControls(TInternetConfig& d) {
    return {{"GroupBox1", d.GroupBox1},
            {"RadioNoProxy", d.RadioNoProxy},
            {"RadioProxyIE", d.RadioProxyIE},
            {"RadioProxyConfig", d.RadioProxyConfig},
            {"RadioProxySOCKSConfig", d.RadioProxySOCKSConfig},
            {"lblEndProxy", d.lblEndProxy},
            {"EdtProxyIP", d.EdtProxyIP},
            {"lblPortProxy", d.lblPortProxy},
            {"EdtProxyPort", d.EdtProxyPort},
            {"lblEndSocks", d.lblEndSocks},
            {"EdtProxySOCKs", d.EdtProxySOCKs},
            {"lblPortSocks", d.lblPortSocks},
            {"EdtSOCKsPort", d.EdtSOCKsPort},
            {"chkAutenticacao", d.chkAutenticacao},
            {"lblUserName", d.lblUserName},
            {"edtUserName", d.edtUserName},
            {"lblSenha", d.lblSenha},
            {"edtSenha", d.edtSenha},
            {"btnOK", d.btnOK},
            {"btnCancel", d.btnCancel}};
}

// Controls hidden in that state (the progress bar before it is made, a
// choice row not in use) are left out, as the Win32 window has none there.
void Print(QTextStream& out, const QString& language, const QString& place, QWidget& top, const TControls& controls) {
    for (const auto& [name, widget] : controls) {
        if (!widget || !widget->isVisibleTo(&top)) continue;
        const QPoint at = widget->mapTo(&top, QPoint(0, 0));
        out << language << ' ' << place << ' ' << name << ' ' << at.x() << ' ' << at.y() << ' ' << widget->width()
            << ' ' << widget->height() << '\n';
    }
}

bool DumpLanguage(QTextStream& out, uint8_t language) {
    const std::unique_ptr<TSetupForm> form = NewIdleWindow(language);
    if (!form) return false;
    const QString lang = QString::fromLatin1(LanguageShortName(language));
    for (const TWizardFrame& row : TWizardFrames::lstFrames) {
        ShowFrame(*form, row.index);
        TFrameBase& frame = *form->Frame(row.index);
        Print(out, lang, QString::fromUtf8(row.name.data(), static_cast<int>(row.name.size())), frame,
              FrameControls(frame));
    }
    TInternetConfig& dialog = form->InternetConfig();
    dialog.ApplyLanguage();
    Print(out, lang, "proxy-dialog", dialog, ProxyDialogControls(dialog));

    THelpForm help(BuildHelpText("OrlaDesk", language));
    help.show();
    QCoreApplication::processEvents();
    Print(out, lang, "help", help, {{"mmoAjuda", help.mmoAjuda}, {"Button1", help.Button1}});
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    PrepareToolApplication();
    QTextStream out(stdout);
    bool ok = true;
    for (uint8_t language : kToolLanguages) ok &= DumpLanguage(out, language);
    return ok ? 0 : 1;
}

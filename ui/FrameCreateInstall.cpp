#include "ui/FrameCreateInstall.h"

#include <QKeyEvent>
#include <QRegularExpressionValidator>

#include "base/EditionConstants.h"
#include "ui/CloseButton.h"
#include "ui/Fonts.h"
#include "ui/GradientBitBtn.h"
#include "ui/PictureBox.h"
#include "ui/ScreenText.h"
#include "ui/UserPrompts.h"
#include "wizard/NewInstallationName.h"
#include "wizard/WizardTexts.h"

TFrameCreateInstall::TFrameCreateInstall(IFrameHost& host, QWidget* parent) : TFrameBase(host, parent) {
    imgLines = NewPicture(host.Pictures().pngLines, QRect(0, -19, 600, 223));
    imgLogo = NewPicture(host.Pictures().pngLogoProgress, QRect(235, 40, 0, 0));
    imgLogo->FitPicture();
    lblInstalado = NewLabel(UiFont("Segoe UI Semibold", 13), QRect(0, 84, 600, 26), Qt::AlignHCenter | Qt::AlignTop);
    lblInstalado->setText(ScreenText(FrameText(TFrameTextKey::CreateInstall_lblInstalado, TWizardTexts::nBuildLanguage)));
    edtNome = new QLineEdit(this);
    edtNome->setGeometry(150, 120, 300, 21);
    edtNome->setAlignment(Qt::AlignCenter);
    edtNome->setFont(UiFont("Segoe UI", 11));
    // Typing stops at 14 characters, but a longer placeholder is shown whole:
    // cut short it would no longer equal the placeholder and pass as a name.
    edtNome->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("^.{0,14}$")), edtNome));
    edtNome->setText(ScreenText(txtNamePlaceholder));
    edtNome->installEventFilter(this);
    btnInstall = NewButton(QRect(240, 165, 120, 30));
    btnInstall->setText(ScreenText(FrameText(TFrameTextKey::CreateInstall_btnInstall, TWizardTexts::nBuildLanguage)));
    connect(btnInstall, &TGradientBitBtn::clicked, this, &TFrameCreateInstall::InstallClick);
    for (QWidget* w : std::initializer_list<QWidget*>{imgLines, imgLogo, lblInstalado}) AddDragSource(w);
}

void TFrameCreateInstall::Attach() {
    Restack({imgLines, imgLogo, CloseButton(), lblInstalado, edtNome, btnInstall});
}

void TFrameCreateInstall::Translate() {
    const uint8_t language = GetLanguage();
    if (TWizardTexts::NameFrameTranslates(language)) {
        ApplyText(lblInstalado, TFrameTextKey::CreateInstall_lblInstalado);
        ApplyText(btnInstall, TFrameTextKey::CreateInstall_btnInstall);
        TranslateNameFrameTexts(language);
        edtNome->setText(ScreenText(txtNamePlaceholder));
    }
    LayoutLogo(imgLogo, imgLines);
}

bool TFrameCreateInstall::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edtNome) {
        if (event->type() == QEvent::FocusIn && Utf8(edtNome->text()) == txtNamePlaceholder) edtNome->clear();
        if (event->type() == QEvent::KeyRelease) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) btnInstall->click();
        }
    }
    return TFrameBase::eventFilter(watched, event);
}

bool TFrameCreateInstall::ValidateName() {
    const auto problem = TNewInstallationName::Check(Utf8(edtNome->text()), txtNamePlaceholder, Host().OldInstalls());
    if (!problem) return true;
    Host().Prompts().ShowInfo(this, edition::strWindowCaption, TNewInstallationName::Text(*problem));
    return false;
}

void TFrameCreateInstall::InstallClick() {
    if (!ValidateName()) return;
    Go(TWizardButton::CreateInstallContinue, Utf8(edtNome->text()));
}

#include "ui/FrameSelectInstall.h"

#include <QKeyEvent>

#include "ui/CloseButton.h"
#include "ui/Fonts.h"
#include "ui/GradientBitBtn.h"
#include "ui/LinkLabel.h"
#include "ui/LookConstants.h"
#include "ui/PictureBox.h"
#include "ui/ScreenText.h"

TFrameSelectInstall::TFrameSelectInstall(IFrameHost& host, QWidget* parent) : TFrameBase(host, parent) {
    btnInstall = NewButton(QRect(240, 158, 120, 30));
    lblInstalado = NewLabel(UiFont("Segoe UI Semibold", 13), QRect(0, 84, 600, 17), Qt::AlignHCenter | Qt::AlignTop);
    imgLines = NewPicture(host.Pictures().pngLines, QRect(0, -19, 600, 223));
    imgLogo = NewPicture(host.Pictures().pngLogoInstall, QRect(235, 40, 0, 0));
    imgLogo->FitPicture();
    connect(btnInstall, &TGradientBitBtn::clicked, this, &TFrameSelectInstall::InstallClick);
    for (QWidget* w : std::initializer_list<QWidget*>{imgLines, imgLogo, lblInstalado}) AddDragSource(w);
}

void TFrameSelectInstall::Attach() {
    Restack({imgLines, imgLogo, CloseButton(), lblInstalado, btnInstall});
}

void TFrameSelectInstall::Translate() {
    ApplyText(lblInstalado, TFrameTextKey::SelectInstall_lblInstalado);
    ApplyText(btnInstall, TFrameTextKey::SelectInstall_btnInstall);
    LayoutLogo(imgLogo, imgLines);
    lblInstalado->move(lblInstalado->x(), imgLogo->y() + imgLogo->height() + 12);
}

void TFrameSelectInstall::ClearChoices() {
    qDeleteAll(m_lstRadio);
    qDeleteAll(m_lstLabel);
    m_lstRadio.clear();
    m_lstLabel.clear();
}

void TFrameSelectInstall::UpdateInsallList() {
    ClearChoices();
    const TInstallListModel& list = Host().InstallList();
    const int top = lblInstalado->y() + lblInstalado->height() + 26;
    // A cell height of 15 pixels: a character height of 11.
    QFont font = UiFont("Segoe UI", 11);
    std::vector<int> labelWidths;
    for (size_t i = 0; i < list.Installs().size(); ++i) {
        const int index = static_cast<int>(i);
        auto* radio = new QRadioButton(this);
        radio->setGeometry(30, top, 13, 13);
        radio->installEventFilter(this);
        connect(radio, &QRadioButton::toggled, this, [this, index](bool on) {
            TInstallListModel& model = Host().InstallList();
            if (on) model.Choose(index);
            else if (model.Chosen() == index) model.Choose(TInstallListModel::nNoChoice);
        });
        radio->show();
        radio->raise();
        m_lstRadio.append(radio);
        auto* label = new TLinkLabel(this, false);
        label->setFont(font);
        label->setText(ScreenText(TInstallListModel::DisplayText(list.Installs()[i])));
        QPalette pal = label->palette();
        pal.setColor(QPalette::WindowText, look::clTextColor);
        label->setPalette(pal);
        AutoSize(label);
        label->setBuddy(radio);
        connect(label, &TLinkLabel::clicked, this, [this, index] {
            Host().InstallList().Toggle(index);
            ShowChoice();
        });
        label->show();
        label->raise();
        m_lstLabel.append(label);
        labelWidths.push_back(label->width());
    }
    const int radioSize = 13;
    const TInstallListModel::TLayout layout = TInstallListModel::Layout(labelWidths, radioSize, width(), top);
    for (int i = 0; i < m_lstRadio.size(); ++i) {
        const TInstallListModel::TPlace& place = layout.lstPlaces[static_cast<size_t>(i)];
        QRadioButton* radio = m_lstRadio[i];
        radio->move(place.nRadioX, place.nY);
        QPalette pal = radio->palette();
        pal.setColor(QPalette::Window, BackgroundPixel(QPoint(place.nRadioX + 7, 129)));
        radio->setPalette(pal);
        m_lstLabel[i]->move(place.nLabelX, place.nY);
    }
    if (layout.nButtonTop) btnInstall->move(btnInstall->x(), *layout.nButtonTop);
}

// An exclusive radio refuses to be unchecked; it lets go for a moment.
void TFrameSelectInstall::ShowChoice() {
    const int chosen = Host().InstallList().Chosen();
    for (int i = 0; i < m_lstRadio.size(); ++i) {
        QRadioButton* radio = m_lstRadio[i];
        if (radio->isChecked() == (i == chosen)) continue;
        if (i == chosen) {
            radio->setChecked(true);
            continue;
        }
        radio->setAutoExclusive(false);
        radio->setChecked(false);
        radio->setAutoExclusive(true);
    }
}

std::string TFrameSelectInstall::ChosenName() const { return Host().InstallList().ChosenName(); }

bool TFrameSelectInstall::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyRelease && m_lstRadio.contains(qobject_cast<QRadioButton*>(watched))) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) btnInstall->click();
    }
    return TFrameBase::eventFilter(watched, event);
}

void TFrameSelectInstall::InstallClick() { Go(TWizardButton::SelectInstallContinue, ChosenName()); }

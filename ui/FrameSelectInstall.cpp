#include "ui/FrameSelectInstall.h"

#include <QKeyEvent>
#include <QRegularExpression>

#include "base/EditionConstants.h"
#include "base/MessageIds.h"
#include "ui/CloseButton.h"
#include "ui/Fonts.h"
#include "ui/GradientBitBtn.h"
#include "ui/LinkLabel.h"
#include "ui/LookConstants.h"
#include "ui/PictureBox.h"
#include "ui/ScreenText.h"

namespace {
constexpr int nRowHeight = 25;
constexpr int nWrapLeft = 560;
}  // namespace

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
    HideCloseInCommandLine();
}

void TFrameSelectInstall::Translate() {
    ApplyText(lblInstalado, TFrameTextKey::SelectInstall_lblInstalado);
    ApplyText(btnInstall, TFrameTextKey::SelectInstall_btnInstall);
    LayoutLogo(imgLogo, imgLines);
    lblInstalado->move(lblInstalado->x(), imgLogo->y() + imgLogo->height() + 12);
}

std::string TFrameSelectInstall::DisplayText(const std::string& key) {
    const std::string regName = edition::strProductRegName;
    if (key.find(regName + "_") == std::string::npos) return key;
    QString text = QString::fromStdString(key);
    const QRegularExpression pattern("^" + QRegularExpression::escape(QString::fromUtf8(regName.c_str())) + "_?",
                                     QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = pattern.match(text);
    if (match.hasMatch()) text.remove(match.capturedStart(), match.capturedLength());
    return Utf8(text);
}

void TFrameSelectInstall::ClearChoices() {
    qDeleteAll(m_lstRadio);
    qDeleteAll(m_lstLabel);
    m_lstRadio.clear();
    m_lstLabel.clear();
}

// Two passes: the first makes the choices and measures the rows, the second
// centres them, wrapping a row that would run past the right edge.
void TFrameSelectInstall::UpdateInsallList() {
    ClearChoices();
    const int top = lblInstalado->y() + lblInstalado->height() + 26;
    int x = 0;
    bool wrapped = false;
    // A cell height of 15 pixels: a character height of 11.
    QFont font = UiFont("Segoe UI", 11);
    for (const std::string& entry : Host().OldInstalls()) {
        if (x > nWrapLeft) {
            x = 0;
            wrapped = true;
        }
        auto* radio = new QRadioButton(this);
        radio->setGeometry(30, top, 13, 13);
        radio->installEventFilter(this);
        radio->show();
        radio->raise();
        m_lstRadio.append(radio);
        auto* label = new TLinkLabel(this, false);
        label->setFont(font);
        label->setText(ScreenText(DisplayText(entry)));
        QPalette pal = label->palette();
        pal.setColor(QPalette::WindowText, look::clTextColor);
        label->setPalette(pal);
        AutoSize(label);
        label->move(radio->x() + radio->width() + 4, top);
        label->setBuddy(radio);
        connect(label, &TLinkLabel::clicked, this, [radio] {
            if (!radio->isChecked()) return radio->setChecked(true);
            // An exclusive radio refuses to be unchecked; the label's click does it.
            radio->setAutoExclusive(false);
            radio->setChecked(false);
            radio->setAutoExclusive(true);
        });
        label->show();
        label->raise();
        m_lstLabel.append(label);
        x += label->width() + radio->width() + 16;
    }
    if (wrapped) x = width() - 20;

    int y = top;
    int left = (width() - x) / 2;
    for (int i = 0; i < m_lstRadio.size(); ++i) {
        QRadioButton* radio = m_lstRadio[i];
        if (left > nWrapLeft) {
            y += nRowHeight;
            left = (width() - x) / 2;
        }
        radio->move(left, y);
        QPalette pal = radio->palette();
        pal.setColor(QPalette::Window, BackgroundPixel(QPoint(left + 7, 129)));
        radio->setPalette(pal);
        left += radio->width() + 4;
        m_lstLabel[i]->move(left, y);
        left += m_lstLabel[i]->width() + 12;
    }
    if (!m_lstRadio.isEmpty()) {
        QRadioButton* last = m_lstRadio.back();
        btnInstall->move(btnInstall->x(), last->y() + last->height() + 26);
    }
}

std::string TFrameSelectInstall::ChosenName() const {
    for (int i = 0; i < m_lstRadio.size(); ++i)
        if (m_lstRadio[i]->isChecked()) return Utf8(m_lstLabel[i]->text());
    return {};
}

bool TFrameSelectInstall::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyRelease && m_lstRadio.contains(qobject_cast<QRadioButton*>(watched))) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) btnInstall->click();
    }
    return TFrameBase::eventFilter(watched, event);
}

void TFrameSelectInstall::InstallClick() {
    const std::string name = ChosenName();
    Host().SetVisibleFrame(fiProgress);
    Host().PostRequest(WM_SET_INSTALL_NAME, name);
    Host().PostRequest(WM_SET_UPDATE_ONLY);
    Host().PostRequest(WM_SETUP_DOWNLOADS);
}

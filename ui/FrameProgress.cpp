#include "ui/FrameProgress.h"

#include "base/MessageIds.h"
#include "ui/CloseButton.h"
#include "ui/Fonts.h"
#include "ui/LookConstants.h"
#include "ui/PictureBox.h"
#include "ui/ProgressPanel.h"
#include "ui/ScreenText.h"

TFrameProgress::TFrameProgress(IFrameHost& host, QWidget* parent) : TFrameBase(host, parent) {
    imgLines = NewPicture(host.Pictures().pngLines, QRect(0, -19, 600, 223));
    imgLogo = NewPicture(host.Pictures().pngLogoProgress, QRect(235, 40, 0, 0));
    imgLogo->FitPicture();
    lblProgress = NewLabel(UiFont("Segoe UI Semibold", 15), QRect(0, 131, 600, 20), Qt::AlignHCenter | Qt::AlignTop);
    for (QWidget* w : std::initializer_list<QWidget*>{imgLines, imgLogo, lblProgress}) AddDragSource(w);
}

void TFrameProgress::Attach() {
    pbProgressBar = new TProgressPanel(this);
    pbProgressBar->setObjectName(QStringLiteral("pbProgressBar"));
    pbProgressBar->setGeometry(36, 158, 528, 16);
    pbProgressBar->SetRoundCorners(true);
    pbProgressBar->SetRoundX(2);
    pbProgressBar->SetRoundY(2);
    pbProgressBar->SetColorTop(look::clProgressColor);
    pbProgressBar->SetColorBotton(look::clProgressColor);
    pbProgressBar->SetBackColorTop(look::clProgressBackColor);
    pbProgressBar->SetBackColorBotton(look::clProgressBackColor);
    pbProgressBar->SetBorder(false);
    AddDragSource(pbProgressBar);
    Restack({imgLines, imgLogo, lblProgress, pbProgressBar, CloseButton()});
}

void TFrameProgress::Translate() {
    ApplyText(lblProgress, TFrameTextKey::Progress_lblProgress);
    LayoutLogo(imgLogo, imgLines);
    lblProgress->move(lblProgress->x(), imgLogo->y() + imgLogo->height() + 55);
    if (pbProgressBar) pbProgressBar->move(pbProgressBar->x(), lblProgress->y() + lblProgress->height() + 13);
}

void TFrameProgress::SetStatusText(const std::string& text) { lblProgress->setText(ScreenText(text)); }

void TFrameProgress::HandleMessage(const TMessage& msg) {
    if (msg.message == WM_SET_PROGRESS && pbProgressBar)
        pbProgressBar->Report(static_cast<int64_t>(msg.wParam), msg.lParam);
    if (msg.message == WM_SET_PROGRESS_MSG) SetStatusText(msg.text);
}

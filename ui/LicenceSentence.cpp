#include "ui/LicenceSentence.h"

#include "ui/Fonts.h"
#include "ui/LookConstants.h"

namespace {

QLabel* SentenceLabel(QWidget* frame, const QColor& colour, bool bold) {
    auto* label = new QLabel(frame);
    label->setFont(UiFont("Segoe UI", 12, bold));
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, colour);
    label->setPalette(pal);
    return label;
}

void FitText(QLabel* label) {
    const QFontMetrics metrics(label->font());
    label->resize(metrics.horizontalAdvance(label->text()), metrics.height());
}

}  // namespace

TLicenceSentence::TLicenceSentence(QWidget* frame)
    : lblText(SentenceLabel(frame, look::clTextColor, false)),
      lblText2(SentenceLabel(frame, look::clTextColor, false)),
      lblLink(new TLinkLabel(frame)),
      lblDot(SentenceLabel(frame, look::clTextColor, false)) {
    lblLink->setFont(UiFont("Segoe UI", 12, true));
    QPalette pal = lblLink->palette();
    pal.setColor(QPalette::WindowText, look::clLinkColor);
    lblLink->setPalette(pal);
    lblDot->setText(QStringLiteral("."));
}

int TLicenceSentence::Layout(int top, int frameWidth) {
    for (QLabel* label : {lblText, lblText2, static_cast<QLabel*>(lblLink), lblDot}) FitText(label);
    const int total = lblText->width() + lblText2->width() + lblLink->width() + lblDot->width();
    const int half = frameWidth / 2;
    lblText->move(lblText->x(), top);
    if (total >= nTwoLineWidth) {
        lblText->move(half - lblText->width() / 2, top);
        const int rest = lblText2->width() + lblLink->width() + lblDot->width() + 2;
        const int secondTop = top + lblText->height();
        lblText2->move(half - rest / 2, secondTop);
    } else {
        lblText->move(half - total / 2, top);
        lblText2->move(lblText->x() + lblText->width() + 1, top);
    }
    lblLink->move(lblText2->x() + lblText2->width() + 1, lblText2->y());
    lblDot->move(lblLink->x() + lblLink->width() + 1, lblText2->y());
    return lblDot->y() + lblDot->height();
}

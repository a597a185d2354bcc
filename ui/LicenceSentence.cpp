#include "ui/LicenceSentence.h"

#include "ui/Fonts.h"
#include "ui/LookConstants.h"
#include "wizard/FrameLayout.h"

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
    QLabel* labels[] = {lblText, lblText2, lblLink, lblDot};
    std::array<TRect, 4> places;
    for (size_t i = 0; i < places.size(); ++i) {
        FitText(labels[i]);
        const QRect r = labels[i]->geometry();
        places[i] = {r.x(), r.y(), r.width(), r.height()};
    }
    const int bottom = TFrameLayout::PlaceSentence({&places[0], &places[1], &places[2], &places[3]}, top, frameWidth);
    for (size_t i = 0; i < places.size(); ++i) labels[i]->move(places[i].x, places[i].y);
    return bottom;
}

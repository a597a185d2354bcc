// The gradient button's colour rules, caption placement and what it draws.
#include <QEnterEvent>
#include <QtTest>

#include "UiTestSupport.h"
#include "ui/GradientBitBtn.h"

namespace {

const QColor kAmber(255, 199, 9);
const QColor kDarkSurface(20, 22, 28);
const QColor kLightSurface(240, 240, 240);

TGradientBitBtn* OutlineButton(QWidget* parent) {
    auto* button = new TGradientBitBtn(parent);
    button->SetColors(kAmber, kAmber);
    button->SetClear(true);
    button->SetFontColor(std::nullopt);
    button->setGeometry(0, 0, 120, 30);
    return button;
}

bool Near(const QColor& a, const QColor& b, int tolerance = 40) {
    return qAbs(a.red() - b.red()) <= tolerance && qAbs(a.green() - b.green()) <= tolerance &&
           qAbs(a.blue() - b.blue()) <= tolerance;
}

}  // namespace

class GradientBitBtnTest : public QObject {
    Q_OBJECT
private slots:
    void colourArithmetic() {
        QCOMPARE(TGradientBitBtn::Mix(QColor(255, 199, 9), QColor(255, 199, 9)), QColor(255, 199, 9));
        QCOMPARE(TGradientBitBtn::Mix(QColor(0, 0, 0), QColor(255, 1, 3)), QColor(128, 1, 2));
        QCOMPARE(TGradientBitBtn::Shift(kAmber, -40), QColor(215, 159, 0));
        QCOMPARE(TGradientBitBtn::Shift(kAmber, 20), QColor(255, 219, 29));
        QVERIFY(!TGradientBitBtn::Dark(kAmber, 140));
        QVERIFY(TGradientBitBtn::Dark(kDarkSurface, 140));
        // 76*100 + 150*100 + 30*100 = 25600 = 100*256: not below the threshold.
        QVERIFY(!TGradientBitBtn::Dark(QColor(100, 100, 100), 100));
        QVERIFY(TGradientBitBtn::Dark(QColor(100, 100, 99), 100));
    }

    void looksOfTheOutlineButton() {
        QWidget parent;
        TGradientBitBtn* button = OutlineButton(&parent);
        struct Case {
            const char* name;
            bool over, pressed;
            QColor surface;
            bool filled;
            QColor fill, caption;
        };
        for (const Case& c : std::vector<Case>{
                 {"rest on dark", false, false, kDarkSurface, false, kAmber, Qt::white},
                 {"rest on light", false, false, kLightSurface, false, kAmber, Qt::black},
                 {"hovered", true, false, kDarkSurface, true, kAmber, Qt::black},
                 {"pressed", true, true, kDarkSurface, true, QColor(215, 159, 0), Qt::black},
             }) {
            const TButtonLook look = button->Look(c.over, c.pressed, c.surface);
            QVERIFY2(look.bFilled == c.filled, c.name);
            QVERIFY2(look.clFill == c.fill, c.name);
            QVERIFY2(look.clCaption == c.caption, c.name);
        }
    }

    void looksOfAFilledButton() {
        QWidget parent;
        TGradientBitBtn* button = OutlineButton(&parent);
        button->SetClear(false);
        QCOMPARE(button->Look(false, false, kDarkSurface).clFill, kAmber);
        QCOMPARE(button->Look(true, false, kDarkSurface).clFill, QColor(255, 219, 29));
        button->SetSoftHighlight(true);
        QCOMPARE(button->Look(true, false, kDarkSurface).clFill, QColor(255, 204, 14));
        button->SetColors(Qt::white, Qt::white);
        QCOMPARE(button->Look(true, false, kDarkSurface).clFill, QColor(225, 225, 225));
        button->SetColors(QColor(20, 20, 20), QColor(20, 20, 20));
        QCOMPARE(button->Look(false, false, kDarkSurface).clCaption, QColor(Qt::white));
        button->SetColors(QColor(135, 135, 135), QColor(135, 135, 135));  // between the two thresholds
        QCOMPARE(button->Look(false, false, kDarkSurface).clCaption, QColor(45, 42, 51));
        button->SetForceFontColor(true);
        button->SetFontColor(QColor(10, 20, 30));
        QCOMPARE(button->Look(false, false, kDarkSurface).clCaption, QColor(10, 20, 30));
        QCOMPARE(button->Look(true, false, kDarkSurface).clCaption, QColor(90, 100, 110));
    }

    void captionPlacement() {
        struct Case {
            QSize button, text;
            bool pressed;
            QPoint origin;
        };
        for (const Case& c : std::vector<Case>{{{120, 30}, {50, 15}, false, {35, 8}},
                                               {{120, 30}, {50, 15}, true, {36, 9}},
                                               {{120, 30}, {50, 16}, false, {35, 7}},
                                               {{121, 30}, {50, 16}, false, {36, 7}},   // 35.5 -> 36
                                               {{123, 30}, {50, 16}, false, {36, 7}},   // 36.5 -> 36
                                               {{120, 10}, {50, 15}, false, {35, -1}}})  // -5 / 2 = -2, odd: + 1
            QCOMPARE(TGradientBitBtn::CaptionOrigin(c.button, c.text, c.pressed), c.origin);
    }

    void drawsAnOutlineAtRestAndAFaceUnderTheMouse() {
        QWidget parent;
        parent.resize(200, 100);
        QPalette pal = parent.palette();
        pal.setColor(QPalette::Window, kDarkSurface);
        parent.setPalette(pal);
        parent.setAutoFillBackground(true);
        TGradientBitBtn* button = OutlineButton(&parent);
        button->setText(QString());
        QImage rest = parent.grab(button->geometry()).toImage();
        QVERIFY(Near(rest.pixelColor(1, 15), kAmber));
        QVERIFY(Near(rest.pixelColor(60, 15), kDarkSurface, 5));

        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
        QCoreApplication::sendEvent(button, &enter);
        QVERIFY(button->MouseOver());
        QImage over = parent.grab(button->geometry()).toImage();
        QVERIFY(Near(over.pixelColor(60, 15), kAmber, 2));

        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(button, &leave);
        QVERIFY(Near(parent.grab(button->geometry()).toImage().pixelColor(60, 15), kDarkSurface, 5));
        QCOMPARE(button->focusPolicy(), Qt::NoFocus);
    }
};

VX_UI_TEST(GradientBitBtnTest);
#include "GradientBitBtnTest.moc"

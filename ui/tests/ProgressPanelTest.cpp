// The progress panel's shape and what it draws; its arithmetic is tested with
// the wizard's model in tests/core.
#include <QtTest>

#include "base/MessageIds.h"
#include "ui/FrameProgress.h"
#include "ui/ProgressPanel.h"
#include "UiTestSupport.h"

class ProgressPanelTest : public QObject {
    Q_OBJECT
private slots:
    void loweringMaxDoesNotClampTheProgress() {
        TProgressPanel panel;
        panel.resize(528, 16);
        panel.SetProgress(80);
        panel.SetMax(40);
        QCOMPARE(panel.Progress(), int64_t(80));
        QVERIFY(panel.FillWidth() >= 528);
    }

    void drawsTheBarOverTheBackground() {
        TProgressPanel panel;
        panel.resize(100, 16);
        panel.SetColorTop(Qt::red);
        panel.SetColorBotton(Qt::red);
        panel.SetBackColorTop(Qt::blue);
        panel.SetBackColorBotton(Qt::blue);
        panel.SetBorder(false);
        panel.SetProgress(25);
        QImage image = panel.grab().toImage();
        QCOMPARE(image.pixelColor(10, 8), QColor(Qt::red));
        QCOMPARE(image.pixelColor(24, 8), QColor(Qt::red));
        QCOMPARE(image.pixelColor(26, 8), QColor(Qt::blue));
        panel.SetBorder(true);
        panel.SetBorderColor(Qt::green);
        image = panel.grab().toImage();
        QCOMPARE(image.pixelColor(50, 0), QColor(Qt::green));
        QCOMPARE(image.pixelColor(50, 8), QColor(Qt::blue));
    }

    void roundCornersCutTheShape() {
        TProgressPanel panel;
        panel.resize(100, 16);
        QVERIFY(panel.Region().contains(QPoint(0, 0)));
        panel.SetRoundCorners(true);
        panel.SetRoundX(8);
        panel.SetRoundY(8);
        QVERIFY(!panel.Region().contains(QPoint(0, 0)));
        QVERIFY(!panel.Region().contains(QPoint(99, 15)));
        QVERIFY(panel.Region().contains(QPoint(50, 0)));
        QVERIFY(panel.Region().contains(QPoint(4, 4)));
    }

    void progressMessagesSetDoneBeforeTotal() {
        TWindowFixture fx;
        fx.Deliver(WM_CHANGE_VISIBLE_FRAME, fiProgress);
        TProgressPanel* bar = fx.form->m_FrameProgress->pbProgressBar;
        fx.Deliver(WM_SET_PROGRESS, 300, 1000);  // clamped to the earlier maximum, 100
        QCOMPARE(bar->Progress(), int64_t(100));
        QCOMPARE(bar->Max(), int64_t(1000));
        fx.Deliver(WM_SET_PROGRESS, 600, 1000);
        QCOMPARE(bar->Progress(), int64_t(600));
        QCOMPARE(bar->FillWidth(), 317);
        fx.Deliver(WM_SET_PROGRESS, 0, 0);  // a zero total is not a range
        QCOMPARE(bar->Max(), int64_t(1000));
    }
};

VX_UI_TEST(ProgressPanelTest);
#include "ProgressPanelTest.moc"

// The name frame's refusals and the select-install frame's choices on screen;
// the rules behind them are tested with the wizard's model in tests/core.
#include <QtTest>

#include "base/MessageIds.h"
#include "ui/FrameCreateInstall.h"
#include "ui/FrameSelectInstall.h"
#include "ui/GradientBitBtn.h"
#include "ui/LinkLabel.h"
#include "UiTestSupport.h"

class ChoiceFramesTest : public QObject {
    Q_OBJECT
private slots:
    void init() { ResetNameFrameTexts(); }

    void refusedNameTellsTheUserAndStays() {
        TWindowFixture fx;
        fx.DeliverInstallList({"OrlaDesk"});
        fx.Deliver(WM_CHANGE_VISIBLE_FRAME, fiCreateInstall);
        fx.log->lstPosted.clear();
        fx.form->m_FrameCreateInstall->btnInstall->click();  // the placeholder is still in the box
        QCOMPARE(fx.form->VisibleFrame(), int(fiCreateInstall));
        QVERIFY(fx.log->lstPosted.empty());
        QCOMPARE(fx.prompts->lstShown.size(), size_t(1));
        QCOMPARE(fx.prompts->lstShown[0].strKind, std::string("info"));
        QCOMPARE(fx.prompts->lstShown[0].strCaption, std::string("Orla Desk"));
        QCOMPARE(fx.prompts->lstShown[0].strText, txtFillName);
    }

    void spanishPlaceholderLongerThanTheBoxLimitIsStillRefused() {
        TWindowFixture fx(lngSpanish);
        fx.DeliverInstallList({"OrlaDesk"});
        fx.Deliver(WM_CHANGE_VISIBLE_FRAME, fiCreateInstall);
        QCOMPARE(fx.form->m_FrameCreateInstall->edtNome->text(), QString("Nombre escojido"));  // 15 characters
        fx.form->m_FrameCreateInstall->btnInstall->click();
        QCOMPARE(fx.form->VisibleFrame(), int(fiCreateInstall));
        QCOMPARE(fx.prompts->lstShown.at(0).strText, std::string("Digite el nombre de la instala\xC3\xA7\xC3\xA3o"));
    }

    void enterInTheNameBoxContinues() {
        TWindowFixture fx;
        fx.DeliverInstallList({"OrlaDesk"});
        fx.Deliver(WM_CHANGE_VISIBLE_FRAME, fiCreateInstall);
        fx.form->m_FrameCreateInstall->edtNome->setText("gamma");
        QTest::keyClick(fx.form->m_FrameCreateInstall->edtNome, Qt::Key_Return);
        QCOMPARE(fx.form->VisibleFrame(), int(fiProgress));
        QCOMPARE(fx.log->lstPosted.at(0).text, std::string("gamma"));
    }

    void choicesWrapIntoCentredRows() {
        TWindowFixture fx;
        std::vector<std::string> keys;
        for (int i = 0; i < 12; ++i) keys.push_back("OrlaDesk_desk" + std::to_string(i));
        fx.DeliverInstallList(keys);
        TFrameSelectInstall* frame = fx.form->m_FrameSelectInstall;
        QCOMPARE(frame->m_lstRadio.size(), 12);
        const int top = 84 + 17 + 26;
        QSet<int> rows;
        for (int i = 0; i < frame->m_lstRadio.size(); ++i) {
            QRadioButton* radio = frame->m_lstRadio[i];
            TLinkLabel* label = frame->m_lstLabel[i];
            QCOMPARE(radio->size(), QSize(13, 13));
            QCOMPARE(label->y(), radio->y());
            QCOMPARE(label->x(), radio->x() + 13 + 4);
            QCOMPARE((radio->y() - top) % 25, 0);
            QVERIFY(radio->x() >= 0 && radio->x() <= 560);
            QVERIFY(!radio->isChecked());
            rows.insert(radio->y());
        }
        QVERIFY(rows.size() >= 2);
        // A wrapped list is laid out as if 580 pixels wide: each row starts at 10.
        QCOMPARE(frame->m_lstRadio[0]->x(), (600 - 580) / 2);
        QRadioButton* last = frame->m_lstRadio.back();
        QCOMPARE(frame->btnInstall->y(), last->y() + last->height() + 26);
    }

    void shortListIsOneCentredRow() {
        TWindowFixture fx;
        fx.DeliverInstallList({"OrlaDesk", "OrlaDesk_a"});
        TFrameSelectInstall* frame = fx.form->m_FrameSelectInstall;
        const int x = frame->m_lstLabel[0]->width() + 13 + 16 + frame->m_lstLabel[1]->width() + 13 + 16;
        QCOMPARE(frame->m_lstRadio[0]->x(), (600 - x) / 2);
        QCOMPARE(frame->m_lstRadio[1]->y(), frame->m_lstRadio[0]->y());
        QCOMPARE(frame->m_lstLabel[1]->text(), QString("a"));
    }

    void labelClicksToggleTheirRadio() {
        TWindowFixture fx;
        fx.DeliverInstallList({"OrlaDesk", "OrlaDesk_a", "OrlaDesk_b"});
        fx.Deliver(WM_CHANGE_VISIBLE_FRAME, fiSelectInstall);
        TFrameSelectInstall* frame = fx.form->m_FrameSelectInstall;
        QCOMPARE(frame->ChosenName(), std::string());
        QTest::mouseClick(frame->m_lstLabel[2], Qt::LeftButton);
        QVERIFY(frame->m_lstRadio[2]->isChecked());
        QCOMPARE(frame->ChosenName(), std::string("b"));
        QTest::mouseClick(frame->m_lstLabel[1], Qt::LeftButton);
        QVERIFY(frame->m_lstRadio[1]->isChecked());
        QVERIFY(!frame->m_lstRadio[2]->isChecked());
        QTest::mouseClick(frame->m_lstLabel[1], Qt::LeftButton);
        QVERIFY(!frame->m_lstRadio[1]->isChecked());
        QCOMPARE(frame->ChosenName(), std::string());
    }

    void continueSendsTheChosenNameAndEnterOnARadioContinues() {
        TWindowFixture fx;
        fx.DeliverInstallList({"OrlaDesk", "OrlaDesk_a"});
        fx.Deliver(WM_CHANGE_VISIBLE_FRAME, fiSelectInstall);
        TFrameSelectInstall* frame = fx.form->m_FrameSelectInstall;
        frame->m_lstRadio[0]->setChecked(true);
        QTest::keyClick(frame->m_lstRadio[0], Qt::Key_Return);
        QCOMPARE(fx.form->VisibleFrame(), int(fiProgress));
        QCOMPARE(fx.log->lstPosted.at(0).message, uint32_t(WM_SET_INSTALL_NAME));
        QCOMPARE(fx.log->lstPosted.at(0).text, std::string("OrlaDesk"));
    }
};

VX_UI_TEST(ChoiceFramesTest);
#include "ChoiceFramesTest.moc"

// Each frame's texts in each language, and the layouts computed from them.
#include <QtTest>

#include "base/MessageIds.h"
#include "ui/FrameAborted.h"
#include "ui/FrameCreateInstall.h"
#include "ui/FrameInstall.h"
#include "ui/FrameInstallDone.h"
#include "ui/FrameInstallUpdate.h"
#include "ui/FrameProgress.h"
#include "ui/FrameRetry.h"
#include "ui/FrameSelectInstall.h"
#include "ui/FrameUpdateInstaller.h"
#include "ui/GradientBitBtn.h"
#include "ui/PictureBox.h"
#include "ui/ProgressPanel.h"
#include "ui/ScreenText.h"
#include "UiTestSupport.h"

namespace {

struct Caption {
    int frame;
    TFrameTextKey key;
    std::function<QString(TSetupForm&)> read;
};

std::vector<Caption> Captions() {
    using K = TFrameTextKey;
    return {
        {fiCreateInstall, K::CreateInstall_lblInstalado, [](TSetupForm& f) { return f.m_FrameCreateInstall->lblInstalado->text(); }},
        {fiCreateInstall, K::CreateInstall_btnInstall, [](TSetupForm& f) { return f.m_FrameCreateInstall->btnInstall->text(); }},
        {fiCreateInstall, K::NamePlaceholder, [](TSetupForm& f) { return f.m_FrameCreateInstall->edtNome->text(); }},
        {fiInstallDone, K::InstallDone_lblProgress, [](TSetupForm& f) { return f.m_FrameInstallDone->lblProgress->text(); }},
        {fiInstallDone, K::InstallDone_btnOpen, [](TSetupForm& f) { return f.m_FrameInstallDone->btnOpen->text(); }},
        {fiInstall, K::Install_lblConfigInternet, [](TSetupForm& f) { return f.m_FrameInstall->lblConfigInternet->text(); }},
        {fiInstall, K::Install_lblText, [](TSetupForm& f) { return f.m_FrameInstall->Sentence.lblText->text(); }},
        {fiInstall, K::Install_lblText2, [](TSetupForm& f) { return f.m_FrameInstall->Sentence.lblText2->text(); }},
        {fiInstall, K::Install_lblLink, [](TSetupForm& f) { return f.m_FrameInstall->Sentence.lblLink->text(); }},
        {fiInstall, K::Install_lblDot, [](TSetupForm& f) { return f.m_FrameInstall->Sentence.lblDot->text(); }},
        {fiInstall, K::Install_btnInstall, [](TSetupForm& f) { return f.m_FrameInstall->btnInstall->text(); }},
        {fiInstallUpdate, K::InstallUpdate_btnInstall, [](TSetupForm& f) { return f.m_FrameInstallUpdate->btnInstall->text(); }},
        {fiInstallUpdate, K::InstallUpdate_btnUpdate, [](TSetupForm& f) { return f.m_FrameInstallUpdate->btnUpdate->text(); }},
        {fiInstallUpdate, K::InstallUpdate_lblText, [](TSetupForm& f) { return f.m_FrameInstallUpdate->Sentence.lblText->text(); }},
        {fiInstallUpdate, K::InstallUpdate_lblText2, [](TSetupForm& f) { return f.m_FrameInstallUpdate->Sentence.lblText2->text(); }},
        {fiInstallUpdate, K::InstallUpdate_lblLink, [](TSetupForm& f) { return f.m_FrameInstallUpdate->Sentence.lblLink->text(); }},
        {fiInstallUpdate, K::InstallUpdate_lblConfigInternet, [](TSetupForm& f) { return f.m_FrameInstallUpdate->lblConfigInternet->text(); }},
        {fiProgress, K::Progress_lblProgress, [](TSetupForm& f) { return f.m_FrameProgress->lblProgress->text(); }},
        {fiRetry, K::Retry_lblConfigInternet, [](TSetupForm& f) { return f.m_FrameRetry->lblConfigInternet->text(); }},
        {fiRetry, K::Retry_btnRetry, [](TSetupForm& f) { return f.m_FrameRetry->btnRetry->text(); }},
        {fiSelectInstall, K::SelectInstall_lblInstalado, [](TSetupForm& f) { return f.m_FrameSelectInstall->lblInstalado->text(); }},
        {fiSelectInstall, K::SelectInstall_btnInstall, [](TSetupForm& f) { return f.m_FrameSelectInstall->btnInstall->text(); }},
        {fiUpdateInstaller, K::UpdateInstaller_lblAlert, [](TSetupForm& f) { return f.m_FrameUpdateInstaller->lblAlert->text(); }},
        {fiUpdateInstaller, K::UpdateInstaller_btnUpdate, [](TSetupForm& f) { return f.m_FrameUpdateInstaller->btnUpdate->text(); }},
        {fiAborted, K::Aborted_btnOK, [](TSetupForm& f) { return f.m_FrameAborted->btnOK->text(); }},
    };
}

// The layout rule of the licence sentence, checked on what the labels show.
void CheckSentence(const TLicenceSentence& s, int frameWidth) {
    const int total = s.lblText->width() + s.lblText2->width() + s.lblLink->width() + s.lblDot->width();
    QVERIFY(s.lblText2->y() == s.lblLink->y() && s.lblLink->y() == s.lblDot->y());
    QCOMPARE(s.lblLink->x(), s.lblText2->x() + s.lblText2->width() + 1);
    QCOMPARE(s.lblDot->x(), s.lblLink->x() + s.lblLink->width() + 1);
    if (total >= TLicenceSentence::nTwoLineWidth) {
        QCOMPARE(s.lblText2->y(), s.lblText->y() + s.lblText->height());
        QVERIFY(qAbs(s.lblText->x() + s.lblText->width() / 2 - frameWidth / 2) <= 1);
    } else {
        QCOMPARE(s.lblText2->y(), s.lblText->y());
        QCOMPARE(s.lblText->x(), frameWidth / 2 - total / 2);
    }
    // Either way the sentence is centred and stays inside the frame.
    const int right = s.lblDot->x() + s.lblDot->width();
    QVERIFY(right <= frameWidth && s.lblText->x() >= 0 && s.lblText2->x() >= 0);
}

}  // namespace

class FrameTextsTest : public QObject {
    Q_OBJECT
private slots:
    void everyFrameShowsItsLanguageTexts() {
        for (uint8_t language : {lngPortuguese, lngEnglish, lngSpanish}) {
            TWindowFixture fx(language);
            for (const Caption& c : Captions()) {
                fx.Deliver(WM_CHANGE_VISIBLE_FRAME, static_cast<uint64_t>(c.frame));
                const QString expected = ScreenText(FrameText(c.key, language));
                QVERIFY2(c.read(*fx.form) == expected,
                         qPrintable(QString("language %1 key %2: '%3' != '%4'")
                                        .arg(language)
                                        .arg(int(c.key))
                                        .arg(c.read(*fx.form), expected)));
            }
        }
    }

    void englishSentenceStartsInTheSecondLabel() {
        TWindowFixture fx(lngEnglish);
        fx.Deliver(WM_CHANGE_VISIBLE_FRAME, fiInstall);
        const TLicenceSentence& s = fx.form->m_FrameInstall->Sentence;
        QCOMPARE(s.lblText->text(), QString());
        QCOMPARE(s.lblText->width(), 0);
        QCOMPARE(s.lblText2->x(), s.lblText->x() + 1);
        CheckSentence(s, 600);
    }

    void sentencesAreLaidOutFromTheirMeasuredWidths() {
        for (uint8_t language : {lngPortuguese, lngEnglish, lngSpanish}) {
            TWindowFixture fx(language);
            fx.Deliver(WM_CHANGE_VISIBLE_FRAME, fiInstall);
            CheckSentence(fx.form->m_FrameInstall->Sentence, 600);
            QCOMPARE(fx.form->m_FrameInstall->btnInstall->y(),
                     fx.form->m_FrameInstall->Sentence.lblDot->y() + fx.form->m_FrameInstall->Sentence.lblDot->height() + 34);
            fx.Deliver(WM_CHANGE_VISIBLE_FRAME, fiInstallUpdate);
            CheckSentence(fx.form->m_FrameInstallUpdate->Sentence, 600);
            QCOMPARE(fx.form->m_FrameInstallUpdate->btnUpdate->y(), fx.form->m_FrameInstallUpdate->btnInstall->y());
        }
    }

    void longSentenceBreaksIntoTwoCentredLines() {
        TWindowFixture fx;
        TLicenceSentence& s = fx.form->m_FrameInstall->Sentence;
        QString wide;
        while (QFontMetrics(s.lblText->font()).horizontalAdvance(wide) < TLicenceSentence::nTwoLineWidth) wide += 'w';
        s.lblText->setText(wide);
        s.lblText2->setText("with our ");
        const int bottom = s.Layout(87, 600);
        QVERIFY(s.lblText->width() >= TLicenceSentence::nTwoLineWidth);
        QCOMPARE(s.lblText2->y(), 87 + s.lblText->height());
        QCOMPARE(bottom, s.lblDot->y() + s.lblDot->height());
        CheckSentence(s, 600);
    }

    void logoFramesCentreTheLogoAndPlaceTheirLines() {
        TWindowFixture fx;
        fx.Deliver(WM_CHANGE_VISIBLE_FRAME, fiInstallDone);
        TFrameInstallDone* done = fx.form->m_FrameInstallDone;
        QCOMPARE(done->imgLogo->geometry(), QRect((600 - 149) / 2, 56 - 38 / 2, 149, 38));
        QCOMPARE(done->imgLines->x(), (600 - 149) / 2);
        QCOMPARE(done->imgLines->y(), 37 + 19 - 223 / 2);
        QCOMPARE(done->lblProgress->y(), 75 + 12);
        QCOMPARE(done->btnOpen->y(), done->lblProgress->y() + done->lblProgress->height() + 34);
        fx.Deliver(WM_CHANGE_VISIBLE_FRAME, fiProgress);
        TFrameProgress* progress = fx.form->m_FrameProgress;
        QCOMPARE(progress->lblProgress->y(), 75 + 55);
        QCOMPARE(progress->pbProgressBar->geometry(), QRect(36, 130 + 20 + 13, 528, 16));
    }

    void nameBoxKeepsTypingOnlyInPortuguese() {
        struct Case {
            uint8_t language;
            QString afterSecondShowing;
        };
        for (const Case& c : std::vector<Case>{{lngPortuguese, "typed"}, {lngEnglish, "Name Chosen"},
                                               {lngSpanish, "Nombre escojido"}}) {
            TWindowFixture fx(c.language);
            fx.Deliver(WM_CHANGE_VISIBLE_FRAME, fiCreateInstall);
            fx.form->m_FrameCreateInstall->edtNome->setText("typed");
            fx.Deliver(WM_CHANGE_VISIBLE_FRAME, fiInstallUpdate);
            fx.Deliver(WM_CHANGE_VISIBLE_FRAME, fiCreateInstall);
            QCOMPARE(fx.form->m_FrameCreateInstall->edtNome->text(), c.afterSecondShowing);
        }
    }

    void placeholderEmptiesWhenTheBoxGetsTheFocus() {
        TWindowFixture fx(lngEnglish);
        fx.form->show();
        fx.Deliver(WM_CHANGE_VISIBLE_FRAME, fiCreateInstall);
        QLineEdit* box = fx.form->m_FrameCreateInstall->edtNome;
        QCOMPARE(box->text(), QString("Name Chosen"));
        QFocusEvent focus(QEvent::FocusIn, Qt::TabFocusReason);
        QCoreApplication::sendEvent(box, &focus);
        QCOMPARE(box->text(), QString());
        QTest::keyClicks(box, "abcdefghijklmnopqrst");
        QCOMPARE(box->text(), QString("abcdefghijklmn"));
    }
};

VX_UI_TEST(FrameTextsTest);
#include "FrameTextsTest.moc"

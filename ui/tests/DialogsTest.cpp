// The help window and the Internet settings dialog.
#include <QtTest>

#include "UiTestSupport.h"
#include "support/SystemProxyStandIn.h"
#include "ui/HelpForm.h"
#include "ui/InternetConfig.h"
#include "ui/ScreenText.h"

class DialogsTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { SetLanguage(lngPortuguese); }

    void helpWindowHoldsItsLanguageBlock() {
        struct Case {
            uint8_t language;
            int lines;
            QString title;
        };
        for (const Case& c : std::vector<Case>{{lngPortuguese, 16, "Orla Desk - Ajuda"},
                                               {lngEnglish, 16, "Orla Desk - Help"},
                                               {lngSpanish, 15, "Orla Desk - Ayuda"}}) {
            THelpForm form(BuildHelpText("setup-2.bin", c.language));
            QCOMPARE(form.mmoAjuda->blockCount(), c.lines);
            QCOMPARE(form.windowTitle(), c.title);
            QVERIFY(form.mmoAjuda->isReadOnly());
            const QString text = form.mmoAjuda->toPlainText();
            QVERIFY(text.contains("setup-2.bin /install"));
            QCOMPARE(text.contains("/st"), c.language != lngSpanish);
            QCOMPARE(form.size(), QSize(601, 270));
            QCOMPARE(form.mmoAjuda->geometry(), QRect(8, 8, 585, 221));
            QCOMPARE(form.Button1->geometry().top(), 237);
            QCOMPARE(form.Button1->size(), QSize(75, 25));
            QVERIFY(form.windowFlags() & Qt::WindowStaysOnTopHint);
        }
    }

    void helpWindowOkCloses() {
        THelpForm form(BuildHelpText("OrlaDesk", lngPortuguese));
        form.show();
        QVERIFY(form.isVisible());
        QTest::mouseClick(form.Button1, Qt::LeftButton);
        QVERIFY(!form.isVisible());
    }

    void enablingRuleFollowsTheCheckedChoice() {
        TInternetConfig dialog(nullptr);
        struct Case {
            QRadioButton* radio;
            bool proxy, socks, auth;
        };
        dialog.chkAutenticacao->setChecked(true);
        for (const Case& c : std::vector<Case>{{dialog.RadioProxyConfig, true, false, true},
                                               {dialog.RadioProxySOCKSConfig, false, true, true},
                                               {dialog.RadioProxyIE, false, false, true},
                                               {dialog.RadioNoProxy, false, false, false}}) {
            QTest::mouseClick(c.radio, Qt::LeftButton, {}, QPoint(5, c.radio->height() / 2));
            QVERIFY(c.radio->isChecked());
            for (QWidget* w : std::initializer_list<QWidget*>{dialog.lblEndProxy, dialog.EdtProxyIP,
                                                              dialog.lblPortProxy, dialog.EdtProxyPort})
                QCOMPARE(w->isEnabled(), c.proxy);
            for (QWidget* w : std::initializer_list<QWidget*>{dialog.lblEndSocks, dialog.EdtProxySOCKs,
                                                              dialog.lblPortSocks, dialog.EdtSOCKsPort})
                QCOMPARE(w->isEnabled(), c.socks);
            QCOMPARE(dialog.chkAutenticacao->isEnabled(), c.auth);
            for (QWidget* w : std::initializer_list<QWidget*>{dialog.lblUserName, dialog.edtUserName,
                                                              dialog.lblSenha, dialog.edtSenha})
                QCOMPARE(w->isEnabled(), c.auth);
        }
        dialog.SelectChoice(TInternetConfig::pcManual);
        QTest::mouseClick(dialog.chkAutenticacao, Qt::LeftButton, {}, QPoint(5, 8));
        QVERIFY(!dialog.chkAutenticacao->isChecked());
        QVERIFY(!dialog.edtUserName->isEnabled());
    }

    void settingsOfEachChoice() {
        TInternetConfig dialog(nullptr);
        dialog.EdtProxyIP->setText(" proxy.lan");
        dialog.EdtProxyPort->setText("3128");
        dialog.EdtProxySOCKs->setText("socks.lan");
        dialog.EdtSOCKsPort->setText("");
        dialog.edtUserName->setText("ana");
        dialog.edtSenha->setText("s3cret");

        dialog.SelectChoice(TInternetConfig::pcManual);
        TProxySettings s = dialog.ChosenSettings(SystemProxyAnswering("", ""));
        QCOMPARE(s.FHost, std::string(" proxy.lan"));  // taken as typed
        QCOMPARE(s.FPort, 3128);
        QCOMPARE(s.FScheme, std::string());
        QCOMPARE(s.FUserName, std::string());

        dialog.SelectChoice(TInternetConfig::pcSocks);
        dialog.chkAutenticacao->setChecked(true);
        s = dialog.ChosenSettings(SystemProxyAnswering("", ""));
        QCOMPARE(s.FHost, std::string("socks.lan"));
        QCOMPARE(s.FPort, 0);
        QCOMPARE(s.FScheme, std::string("socks5"));
        QCOMPARE(s.FUserName, std::string("ana"));
        QCOMPARE(s.FPassword, std::string("s3cret"));

        dialog.SelectChoice(TInternetConfig::pcBrowser);
        s = dialog.ChosenSettings(SystemProxyAnswering("http=cache", "80;https=cache:443"));
        QCOMPARE(s.FHost, std::string("http=cache"));
        QCOMPARE(s.FPort, 0);
        s = dialog.ChosenSettings(SystemProxyAnswering("cache", "8080"));
        QCOMPARE(s.FPort, 8080);

        dialog.SelectChoice(TInternetConfig::pcNone);  // authentication is disabled with it
        s = dialog.ChosenSettings(SystemProxyAnswering("cache", "8080"));
        QCOMPARE(s.FHost, std::string());
        QCOMPARE(s.FUserName, std::string());
        QCOMPARE(s.FPassword, std::string());
    }

    void portBoxesTakeDigitsOnly() {
        TInternetConfig dialog(nullptr);
        dialog.SelectChoice(TInternetConfig::pcManual);
        QTest::keyClicks(dialog.EdtProxyPort, "8a0-8");
        QCOMPARE(dialog.EdtProxyPort->text(), QString("808"));
        QCOMPARE(dialog.edtSenha->echoMode(), QLineEdit::Password);
    }

    void textsAndPlacesFollowTheLanguage() {
        for (uint8_t language : {lngPortuguese, lngEnglish, lngSpanish}) {
            SetLanguage(language);
            TInternetConfig dialog(nullptr);
            QCOMPARE(dialog.windowTitle(), ScreenText(ProxyDialogText(TProxyTextKey::Caption, language)));
            QCOMPARE(dialog.RadioProxySOCKSConfig->text(),
                     ScreenText(ProxyDialogText(TProxyTextKey::RadioProxySOCKSConfig, language)));
            QCOMPARE(dialog.btnCancel->text(), ScreenText(ProxyDialogText(TProxyTextKey::btnCancel, language)));
            QCOMPARE(dialog.lblSenha->text(), ScreenText(ProxyDialogText(TProxyTextKey::lblSenha, language)));
            const int left = language == lngEnglish ? 383 : 368;
            for (QLineEdit* edit : {dialog.EdtProxyPort, dialog.EdtSOCKsPort, dialog.edtSenha})
                QCOMPARE(edit->x(), left);
            QCOMPARE(dialog.size(), QSize(555, 299));
            QVERIFY(dialog.RadioNoProxy->isChecked());
        }
    }

    void tabOrderRunsThroughTheControls() {
        TInternetConfig dialog(nullptr);
        const std::vector<QWidget*> order = {dialog.RadioNoProxy,  dialog.RadioProxyIE,         dialog.RadioProxyConfig,
                                             dialog.EdtProxyIP,    dialog.EdtProxyPort,         dialog.RadioProxySOCKSConfig,
                                             dialog.EdtProxySOCKs, dialog.EdtSOCKsPort,         dialog.chkAutenticacao,
                                             dialog.edtUserName,   dialog.edtSenha};
        auto nextFocusable = [](QWidget* w) {
            do w = w->nextInFocusChain();
            while (w->focusPolicy() == Qt::NoFocus);
            return w;
        };
        for (size_t i = 0; i + 1 < order.size(); ++i) QCOMPARE(nextFocusable(order[i]), order[i + 1]);
    }
};

VX_UI_TEST(DialogsTest);
#include "DialogsTest.moc"

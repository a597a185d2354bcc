// Exceptions that escape an event handler of the window's thread reach the
// error reports, and the window answers the reports' questions about itself.
#include <QLineEdit>
#include <QtTest>
#include <stdexcept>

#include "base/Texts.h"
#include "diagnostics/ReportWindowSide.h"
#include "ui/QtReportWindowSide.h"
#include "UiTestSupport.h"

namespace {

const QEvent::Type kThrowingEvent = static_cast<QEvent::Type>(QEvent::User + 77);

class TThrowingWidget : public QWidget {
public:
    int nHandled = 0;

protected:
    bool event(QEvent* e) override {
        if (e->type() != kThrowingEvent) return QWidget::event(e);
        ++nHandled;
        throw std::runtime_error("handler failed & 100% broken");
    }
};

// The real window side, with the message box replaced by a record.
class TRecordingSide : public TQtReportWindowSide {
public:
    using TQtReportWindowSide::TQtReportWindowSide;
    std::vector<std::string> lstShown;
    void ShowMessage(const std::string& text) override { lstShown.push_back(text); }
};

}  // namespace

class ErrorRoutingTest : public QObject {
    Q_OBJECT
private slots:
    void EscapedExceptionIsReportedAndTheLoopGoesOn() {
        TThrowingWidget widget;
        TRecordingSide side(&widget);
        SetReportWindowSide(&side);
        QCoreApplication::postEvent(&widget, new QEvent(kThrowingEvent));
        QCoreApplication::postEvent(&widget, new QEvent(kThrowingEvent));
        QCoreApplication::processEvents();
        SetReportWindowSide(nullptr);
        QCOMPARE(widget.nHandled, 2);  // the second event was still delivered
        QVERIFY(!side.lstShown.empty());
        QCOMPARE(side.lstShown.front(), ErrorReportUserMessage(GetLanguage()));
    }

    void WindowSideNamesFocusChainAndForms() {
        QWidget form;
        form.setObjectName("form");
        auto* edit = new QLineEdit(&form);
        edit->setObjectName("edtNome");
        QWidget hidden;
        form.show();
        QApplication::setActiveWindow(&form);
        edit->setFocus();
        QTRY_VERIFY(edit->hasFocus());
        TQtReportWindowSide side(&form);
        QVERIFY(side.IsMainThread());
        QVERIFY(side.MainWindowExists());
        auto chain = side.FocusedControlChain();
        QVERIFY(chain.size() >= 2);
        QCOMPARE(chain[0].first, std::string("QLineEdit"));
        QCOMPARE(chain[0].second, std::string("edtNome"));
        QCOMPARE(chain[1].second, std::string("form"));
        bool sawVisible = false, sawHidden = false;
        for (const auto& [cls, visible] : side.OpenForms()) {
            QCOMPARE(cls, std::string("QWidget"));
            (visible ? sawVisible : sawHidden) = true;
        }
        QVERIFY(sawVisible && sawHidden);
    }
};

VX_UI_TEST(ErrorRoutingTest);

#include "ErrorRoutingTest.moc"

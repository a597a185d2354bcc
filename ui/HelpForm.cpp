#include "ui/HelpForm.h"

#include <QGuiApplication>
#include <QScreen>

#include "ui/Fonts.h"
#include "ui/ScreenText.h"

THelpForm::THelpForm(const THelpText& help, QWidget* parent) : QDialog(parent) {
    using namespace helpwindow;
    setWindowFlags(Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFont(UiFont(strFontName, nFontHeight));
    setFixedSize(nClientWidth, nClientHeight);
    setWindowTitle(ScreenText(help.strTitle));

    mmoAjuda = new QPlainTextEdit(this);
    mmoAjuda->setGeometry(nMemoLeft, nMemoTop, nMemoWidth, nMemoHeight);
    mmoAjuda->setReadOnly(true);
    mmoAjuda->setFont(font());
    mmoAjuda->setLineWrapMode(QPlainTextEdit::NoWrap);
    mmoAjuda->setTabStopDistance(QFontMetricsF(font()).horizontalAdvance(QLatin1Char(' ')) * 8);
    mmoAjuda->clear();
    for (const std::string& line : help.lstLines) mmoAjuda->appendPlainText(ScreenText(line));
    mmoAjuda->moveCursor(QTextCursor::Start);

    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->resize(nButtonWidth, nButtonHeight);
    PlaceButton();
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    setTabOrder(mmoAjuda, Button1);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

// The button is centred on the outer width, which is known once the window has
// its frame.
void THelpForm::PlaceButton() {
    const int outer = frameGeometry().width() > 0 ? frameGeometry().width() : width();
    Button1->move(helpwindow::ButtonLeft(outer), helpwindow::nButtonTop);
}

void THelpForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    PlaceButton();
}

#include "ui/QtReportWindowSide.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

namespace {
std::string ClassName(const QObject* object) { return object->metaObject()->className(); }
}  // namespace

TQtReportWindowSide::TQtReportWindowSide(QWidget* mainWindow) : m_MainWindow(mainWindow) {}

bool TQtReportWindowSide::IsMainThread() const {
    return qApp && QThread::currentThread() == qApp->thread();
}

bool TQtReportWindowSide::MainWindowExists() const { return !m_MainWindow.isNull(); }

std::vector<std::pair<std::string, std::string>> TQtReportWindowSide::FocusedControlChain() const {
    std::vector<std::pair<std::string, std::string>> chain;
    for (QWidget* w = QApplication::focusWidget(); w; w = w->parentWidget())
        chain.emplace_back(ClassName(w), w->objectName().toStdString());
    return chain;
}

std::vector<std::pair<std::string, bool>> TQtReportWindowSide::OpenForms() const {
    std::vector<std::pair<std::string, bool>> forms;
    for (QWidget* w : QApplication::topLevelWidgets()) forms.emplace_back(ClassName(w), w->isVisible());
    return forms;
}

void TQtReportWindowSide::ShowMessage(const std::string& text) {
    QMessageBox::information(m_MainWindow.data(), QApplication::applicationDisplayName(),
                             QString::fromStdString(text));
}

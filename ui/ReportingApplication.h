#pragma once
#include <QApplication>

// The application object of the window's thread: every exception that escapes
// an event handler reaches the error reports' ExceptionHandler, which reports
// it and tells the user, and the event loop goes on.
class TReportingApplication : public QApplication {
public:
    TReportingApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

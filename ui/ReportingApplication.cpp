#include "ui/ReportingApplication.h"

#include <exception>

#include "diagnostics/ExceptionObject.h"

TReportingApplication::TReportingApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TReportingApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        TExceptionObject::ExceptionHandler(e);
        return false;
    }
}

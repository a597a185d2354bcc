// Runs every registered test class of the window on one QApplication.
#include <QApplication>
#include <QtTest>

#include "UiTestSupport.h"
#include "ui/Fonts.h"
#include "ui/Pictures.h"
#include "ui/ReportingApplication.h"

namespace {
std::vector<std::function<std::unique_ptr<QObject>()>>& Registry() {
    static std::vector<std::function<std::unique_ptr<QObject>()>> registry;
    return registry;
}
}  // namespace

void RegisterUiTest(std::function<std::unique_ptr<QObject>()> factory) { Registry().push_back(std::move(factory)); }

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    TReportingApplication app(argc, argv);
    LoadStandInFonts();
    InitPictureResources();
    int failures = 0;
    for (const auto& factory : Registry()) {
        std::unique_ptr<QObject> test = factory();
        failures += QTest::qExec(test.get(), argc, argv);
    }
    return failures == 0 ? 0 : 1;
}

// The whole interactive installation under a real X server: the test starts its
// own Xvfb, opens the installer window on it with the real engine, publishes a
// small release on a loopback server, clicks Install and waits for the done
// frame, then checks what was installed. Xvfb and the server are stopped by
// the test itself (the server is in-process; Xvfb by its process id).
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QtTest>
#include <cstdlib>
#include <random>

#include "base/EditionConstants.h"
#include "base/MessageIds.h"
#include "base/Texts.h"
#include "diagnostics/SystemInfo.h"
#include "engine/InstallerThread.h"
#include "platform/Folders.h"
#include "platform/Hives.h"
#include "platform/ProcessList.h"
#include "release/ReleasePublisher.h"
#include "support/LocalHttpServer.h"
#include "support/Sandbox.h"
#include "support/TempDir.h"
#include "ui/CloseButton.h"
#include "ui/Fonts.h"
#include "ui/FrameInstall.h"
#include "ui/FrameProgress.h"
#include "ui/GradientBitBtn.h"
#include "ui/Pictures.h"
#include "ui/ProgressPanel.h"
#include "ui/SetupForm.h"
#include "ui/UserPrompts.h"

namespace fs = std::filesystem;

namespace {

constexpr int kSkip = 77;

// An X server of our own on a display number it picks itself.
class XvfbServer {
public:
    XvfbServer() {
        int fds[2];
        if (pipe(fds) != 0) return;
        m_nPid = fork();
        if (m_nPid == 0) {
            close(fds[0]);
            const std::string fd = std::to_string(fds[1]);
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, STDERR_FILENO);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
                   static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string number;
        char c;
        while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        close(fds[0]);
        if (!number.empty()) m_strDisplay = ":" + number;
    }
    ~XvfbServer() {
        if (m_nPid <= 0) return;
        kill(m_nPid, SIGTERM);
        waitpid(m_nPid, nullptr, 0);
    }
    const std::string& Display() const { return m_strDisplay; }

private:
    pid_t m_nPid = -1;
    std::string m_strDisplay;
};

std::string RandomBytes(size_t size, unsigned seed) {
    std::mt19937 gen(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(gen() & 0xFF);
    return bytes;
}

using FileMap = std::map<std::string, std::string>;

FileMap Product() {
    std::string text;
    for (int i = 0; i < 20000; ++i) text += "quote " + std::to_string(i * 13 % 997) + "\n";
    return {{"vantixchart.exe", RandomBytes(900000, 7)},
            {"bin/quotes.txt", text},
            {"bin/feed.dll", RandomBytes(400000, 8)},
            {"database/desktops/default.json", "{\"layout\": 1}"}};
}

// Every file of a published tree, served at its path.
void ServeTree(LocalHttpServer& server, const fs::path& tree) {
    for (const auto& entry : fs::recursive_directory_iterator(tree)) {
        if (!entry.is_regular_file()) continue;
        TReply reply;
        reply.strBody = ReadFileText(entry.path());
        server.Route("/" + fs::relative(entry.path(), tree).generic_string(), reply);
    }
}

class NoPrompts : public IUserPrompts {
public:
    bool AskYesNo(QWidget*, const std::string&, const std::string&) override { return ++nShown, false; }
    void ShowInfo(QWidget*, const std::string&, const std::string&) override { ++nShown; }
    void ShowError(QWidget*, const std::string&, const std::string&) override { ++nShown; }
    int nShown = 0;
};

}  // namespace

class XvfbInstallTest : public QObject {
    Q_OBJECT
private slots:
    void installsByClickingThroughInstallProgressAndDone() {
        QCOMPARE(QGuiApplication::platformName(), QString("xcb"));
        Sandbox box;
        for (const auto& [name, value] : box.Environment()) {
            if (name == "DISPLAY" || name == "QT_QPA_PLATFORM" || name == "WAYLAND_DISPLAY") continue;
            if (value.empty()) unsetenv(name.c_str());
            else setenv(name.c_str(), value.c_str(), 1);
        }
        TempDir work("vxuirelease");
        const FileMap product = Product();
        for (const auto& [path, content] : product) WriteFileText(work / "product" / path, content);
        TPublishRequest request;
        request.pathSource = work / "product";
        request.strProduct = edition::strProductCode;
        request.strVersion = "1.2.3.4";
        request.strChannel = "stable";
        request.pathOut = work / "tree";
        request.strInstallerVersion = "1.81";
        PublishRelease(request);
        LocalHttpServer server;
        ServeTree(server, work / "tree");

        TEngineEnvironment env;
        env.lstCommandLine = {"OrlaDesk"};
        env.fnMachineIdHex = [] { return std::string("0011AABB"); };
        env.fnOsDescription = [] { return std::string("Debian GNU/Linux 12"); };
        env.hkcu = OpenCurrentUserHive();
        env.processes = CreateProcessList();
        env.pathAppData = AppDataFolder();
        env.strServerUrl = server.BaseUrl();
        env.strInstallerVersionUrl = server.BaseUrl() + "/produtos/bin/newvantix/";
        env.strLocalInstallerVersion = "1.81";

        auto prompts = std::make_shared<NoPrompts>();
        int quits = 0;
        TSetupFormServices services;
        services.fnCreateEngine = [&env](IMessageTarget& window) -> std::unique_ptr<IInstallerEngine> {
            return std::make_unique<TInstallerThread>(window, env);
        };
        services.prompts = prompts;
        services.fnQuit = [&quits] { ++quits; };
        services.fnShellOpen = [](const std::string&) { return true; };
        services.fnSystemProxy = [](std::string&, std::string&) { return false; };
        TSetupForm form(TCommandLine({"OrlaDesk"}), services);
        QVERIFY(form.FormCreate());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));

        QTRY_COMPARE_WITH_TIMEOUT(form.VisibleFrame(), int(fiInstall), 20000);
        // Let the installer-version check answer before the click.
        QTRY_VERIFY_WITH_TIMEOUT(server.HitCount("/produtos/bin/newvantix/version.txt") > 0, 20000);
        QTest::qWait(200);
        QVERIFY(!form.HasInstallerUpdate());
        QTest::mouseClick(form.m_FrameInstall->btnInstall, Qt::LeftButton);
        QCOMPARE(form.VisibleFrame(), int(fiProgress));

        QTRY_COMPARE_WITH_TIMEOUT(form.VisibleFrame(), int(fiInstallDone), 120000);
        const TProgressPanel* bar = form.m_FrameProgress->pbProgressBar;
        QVERIFY(bar->Max() > 100);  // the run's total reached the bar
        QCOMPARE(prompts->nShown, 0);

        for (const auto& [path, content] : product) {
            const fs::path installed = box.InstallFolder() / path;
            QVERIFY2(fs::exists(installed), installed.c_str());
            QVERIFY2(ReadFileText(installed) == content, installed.c_str());
        }
        bool shortcut = false;
        for (const auto& entry : fs::directory_iterator(box.Desktop()))
            shortcut |= entry.path().extension() == ".desktop";
        QVERIFY(shortcut);
        QVERIFY(server.UnexpectedPaths().empty());

        // The done frame closes without a question.
        QTest::mouseClick(form.Frame(fiInstallDone)->CloseButton(), Qt::LeftButton);
        QCOMPARE(quits, 1);
        QCOMPARE(prompts->nShown, 0);
    }
};

int main(int argc, char** argv) {
    if (system("command -v Xvfb > /dev/null 2>&1") != 0) {
        std::fprintf(stderr, "Xvfb is not installed: skipped\n");
        return kSkip;
    }
    XvfbServer xvfb;
    if (xvfb.Display().empty()) {
        std::fprintf(stderr, "Xvfb did not start\n");
        return 1;
    }
    setenv("DISPLAY", xvfb.Display().c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    unsetenv("WAYLAND_DISPLAY");
    int result = 0;
    {
        QApplication app(argc, argv);
        LoadStandInFonts();
        InitPictureResources();
        XvfbInstallTest test;
        result = QTest::qExec(&test, argc, argv);
    }
    return result;
}

#include "XvfbInstallTest.moc"

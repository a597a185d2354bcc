// The Windows OrlaDesk.exe started as a user starts it, with no arguments, on
// an X server of the test's own under Wine: its window is read with
// vx_winprobe (which frame shows, where a button is) and clicked with xdotool
// at the button's centre, as a user's mouse would, against a release on a
// loopback server. What the clicks installed is checked as for an unattended run.
#include <chrono>
#include <cstdlib>
#include <sstream>

#include "support/WaitUntil.h"
#include "support/XvfbServer.h"
#include "wine/WindowsInstallerFixture.h"

namespace e2e {
namespace {

struct TScreenRect {
    int x = 0, y = 0, w = 0, h = 0;
};

bool XdotoolInstalled() { return RunProcess("sh", {"-c", "command -v xdotool"}).exitCode == 0; }

class WindowsWindow : public WindowsInstaller {
protected:
    void SetUp() override {
        WindowsInstaller::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        if (!fs::is_regular_file(Probe()))
            FAIL() << "no " << Probe() << " in the Windows build (scripts/build-windows builds it)";
        if (!XvfbServer::Installed() || !XdotoolInstalled()) {
            if (std::getenv("VX_REQUIRE_WINDOWS_BUILD")) FAIL() << "Xvfb or xdotool is missing (scripts/install-deps)";
            GTEST_SKIP() << "Xvfb or xdotool is not installed";
        }
        xvfb = std::make_unique<XvfbServer>();
        ASSERT_FALSE(xvfb->Display().empty()) << xvfb->FailureText();
        wine->SetDisplay(xvfb->Display());
        // The probe, asking for a window that is not there yet, brings the desktop up.
        wine->StartSession(Probe().string(), {"frame"});
    }

    static fs::path Probe() { return WinePrefix::WindowsBuild() / "bin" / "vx_winprobe.exe"; }

    // The probe's answer without Windows' line ends.
    ProcessResult AskProbe(const std::vector<std::string>& args, int timeoutSeconds = 60) const {
        ProcessResult result = wine->Run(Probe().string(), args, {}, timeoutSeconds);
        std::erase(result.out, '\r');
        while (!result.out.empty() && result.out.back() == '\n') result.out.pop_back();
        return result;
    }

    // Waits until `frame` is the visible one, in short rounds, so that a
    // program that ended is noticed at once; the failure says what was shown.
    testing::AssertionResult WaitForFrame(BackgroundProcess& window, const std::string& frame, int seconds) const {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        ProcessResult wait;
        do {
            wait = AskProbe({"wait-frame", frame, "5"});
            if (wait.exitCode == 0) return testing::AssertionSuccess();
        } while (window.IsRunning() && std::chrono::steady_clock::now() < deadline);
        testing::AssertionResult failure = testing::AssertionFailure();
        if (!window.IsRunning()) failure << "the program ended with " << window.Stop() << "\n";
        return failure << wait.err << "\n--- stderr\n" << window.StderrText() << "\n--- log\n" << LastLog();
    }

    // The screen rectangle of a visible control (of any text when `text` is
    // empty), from the probe's "x y w h".
    std::optional<TScreenRect> ControlRect(const std::string& className, const std::string& text) const {
        std::vector<std::string> args = {"rect", className};
        if (!text.empty()) args.push_back(text);
        const ProcessResult rect = AskProbe(args);
        TScreenRect r;
        std::istringstream numbers(rect.out);
        if (rect.exitCode != 0 || !(numbers >> r.x >> r.y >> r.w >> r.h) || r.w <= 0 || r.h <= 0) return std::nullopt;
        return r;
    }

    // A left click at the control's centre, through the X server as a user's mouse.
    void Click(const std::string& className, const std::string& text = "") const {
        const std::optional<TScreenRect> rect = ControlRect(className, text);
        ASSERT_TRUE(rect.has_value()) << "no visible " << className << " \"" << text << "\"";
        const ProcessResult click = RunProcess(
            "xdotool",
            {"mousemove", std::to_string(rect->x + rect->w / 2), std::to_string(rect->y + rect->h / 2), "click", "1"},
            {{"DISPLAY", xvfb->Display()}});
        ASSERT_EQ(click.exitCode, 0) << click.err;
    }

    std::unique_ptr<XvfbServer> xvfb;
};

TEST_F(WindowsWindow, InstallClickedInTheWindowInstallsAndTheCloseButtonEndsTheProgramWithZero) {
    ASSERT_NO_FATAL_FAILURE(PublishAndServe());
    BackgroundProcess window(WinePrefix::WineProgram(), WinePrefix::WineArguments(WinePrefix::Installer().string(), {}),
                             wine->Environment(InstallerVariables(server->Url())));
    ASSERT_TRUE(WaitForFrame(window, "install", 90));
    ExpectNothingInstalled();

    Click("TGradientBitBtn", "Instalar");
    ASSERT_TRUE(WaitForFrame(window, "install-done", kRunTimeoutSeconds));
    ExpectDefaultInstallation();

    Click("TCloseButton");
    EXPECT_TRUE(WaitUntil([&] { return !window.IsRunning(); }, std::chrono::seconds(30)))
        << "the window stayed open after its close button was clicked";
    EXPECT_EQ(window.Stop(), 0) << window.StderrText();
}

// On a desktop an unattended run shows the window, as the Qt build does with a
// display, and ends by itself with its code; the terminal's progress lines
// belong to runs without a desktop.
TEST_F(WindowsWindow, UnattendedInstallOnADesktopRunsInTheWindowAndEndsByItself) {
    ASSERT_NO_FATAL_FAILURE(PublishAndServe());
    const ProcessResult install = Run({"/install"});
    ASSERT_EQ(install.exitCode, 0) << Describe(install);
    ExpectDefaultInstallation();
    EXPECT_EQ(install.out, "") << "the run went to the terminal instead of the window";
    const ProcessResult again = Run({"/install"});
    EXPECT_EQ(again.exitCode, 1) << "an installation of that name exists: " << Describe(again);
}

}  // namespace
}  // namespace e2e

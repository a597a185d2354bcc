#include "wine/WindowsInstallerFixture.h"

#include <cstdlib>

#include "support/NginxServer.h"

namespace e2e {

const std::string kAppKey = "Software\\Corvane\\OrlaDesk";
const std::string kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\OrlaDesk";

namespace {

std::u16string Utf16(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

bool HoldsText(const std::string& bytes, const std::string& text) {
    if (bytes.find(text) != std::string::npos) return true;
    const std::u16string wide = Utf16(text);
    const std::string wideBytes(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);
    return bytes.find(wideBytes) != std::string::npos;
}

}  // namespace

void WindowsInstaller::SetUp() {
    if (WinePrefix::Installer().empty()) {
        if (std::getenv("VX_REQUIRE_WINDOWS_BUILD")) FAIL() << "no Windows build in " << WinePrefix::WindowsBuild();
        GTEST_SKIP() << "no Windows build in " << WinePrefix::WindowsBuild() << " (scripts/build-windows)";
    }
    wine = std::make_unique<WinePrefix>();
    // The product's program is a real Windows program, so that it can run.
    product["vantixchart.exe"] = ReadFileText(WinePrefix::WindowsBuild() / "bin" / "vx_standin.exe");
}

void WindowsInstaller::PublishAndServe(const std::string& version) {
    release.Publish(product, version);
    Serve();
}

void WindowsInstaller::Serve() {
    if (!server) server = std::make_unique<ReleaseServe>(release.Tree());
    ASSERT_TRUE(server->Started()) << server->RequestLog();
}

WindowsInstaller::Env WindowsInstaller::InstallerVariables(const std::string& url, const Env& extra) {
    Env env = {
        {"ORLADESK_DOWNLOAD_SERVER_URL", url},
        {"ORLADESK_INSTALLER_VERSION_URL", url + "/produtos/bin/newvantix/"},
        {"ORLADESK_ERROR_REPORT_URL", "https://127.0.0.1:" + std::to_string(FreeLoopbackPort()) + "/software/error"}};
    env.insert(env.end(), extra.begin(), extra.end());
    return env;
}

ProcessResult WindowsInstaller::RunAt(const std::string& url, const std::vector<std::string>& args,
                                      const Env& extra) const {
    return wine->Run(WinePrefix::Installer().string(), args, InstallerVariables(url, extra), kRunTimeoutSeconds * 2);
}

fs::path WindowsInstaller::InstallFolder(const std::string& name) const {
    return wine->AppData() / "Corvane" / (name.empty() ? std::string("OrlaDesk") : "OrlaDesk_" + name);
}

std::string WindowsInstaller::LastLog() const {
    std::string newest;
    fs::file_time_type newestTime;
    for (const auto& entry : fs::directory_iterator(wine->Temp())) {
        const std::string file = entry.path().filename().string();
        if (!file.starts_with("OrlaDesk ") || entry.path().extension() != ".log") continue;
        if (newest.empty() || entry.last_write_time() > newestTime) {
            newest = entry.path().string();
            newestTime = entry.last_write_time();
        }
    }
    return newest.empty() ? std::string() : ReadFileText(newest);
}

std::string WindowsInstaller::Describe(const ProcessResult& run) const {
    return "exit " + std::to_string(run.exitCode) + "\n--- stdout\n" + run.out + "\n--- stderr\n" + run.err +
           "\n--- log\n" + LastLog();
}

void WindowsInstaller::ExpectDefaultInstallation() const {
    const fs::path folder = InstallFolder();
    EXPECT_EQ(ReadTree(folder), product);
    const std::string installPath = wine->WindowsPath(folder) + "\\";
    EXPECT_EQ(wine->RegistryValue(kAppKey + "\\1.0", "Dir"), installPath);
    EXPECT_EQ(wine->RegistryValue(kUninstallKey, "DisplayName"), "Orla Desk");
    EXPECT_EQ(wine->RegistryValue(kUninstallKey, "InstallLocation"), installPath);
    EXPECT_EQ(wine->RegistryValue(kUninstallKey, "UninstallString"), "\"" + installPath + "Desinstalar.exe\"");
    EXPECT_EQ(wine->RegistryValue(kUninstallKey, "NoModify"), "0x1");
    ExpectShortcutsTo("Orla Desk.lnk", folder);
}

void WindowsInstaller::ExpectShortcutsTo(const std::string& file, const fs::path& installFolder) const {
    const std::string target = wine->WindowsPath(installFolder / "vantixchart.exe");
    for (const fs::path& link : {wine->Desktop() / file, wine->AppData() / "Microsoft" / "Windows" / "Start Menu" /
                                                             "Programs" / "Corvane" / file}) {
        SCOPED_TRACE(link);
        ASSERT_TRUE(fs::is_regular_file(link));
        EXPECT_TRUE(HoldsText(ReadFileText(link), target)) << "the link must point at " << target;
    }
}

void WindowsInstaller::ExpectNothingInstalled() const {
    EXPECT_FALSE(fs::exists(InstallFolder()));
    EXPECT_FALSE(wine->RegistryKeyExists(kAppKey + "\\1.0"));
    EXPECT_FALSE(wine->RegistryKeyExists(kUninstallKey));
    EXPECT_FALSE(fs::exists(wine->Desktop() / "Orla Desk.lnk"));
}

}  // namespace e2e

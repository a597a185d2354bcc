#pragma once
// What the runs of the Windows OrlaDesk.exe under Wine share, whether they run
// unattended or through its window: a prefix of their own, a published release
// of a product whose program is a real Windows program, the server, and reading
// back what an installation left in the prefix.
#include <memory>
#include <string>
#include <vector>

#include "e2e/InstallerRunSupport.h"
#include "support/WinePrefix.h"

namespace e2e {

extern const std::string kAppKey;
extern const std::string kUninstallKey;

class WindowsInstaller : public testing::Test {
protected:
    // Skips (or fails, under VX_REQUIRE_WINDOWS_BUILD) without a Windows build.
    void SetUp() override;

    void PublishAndServe(const std::string& version = "1.2.3.4");
    void Serve();

    using Env = WinePrefix::Env;
    // The installer's variables for a release server at `url`; the error
    // service is a closed loopback port, so that a report never leaves the machine.
    static Env InstallerVariables(const std::string& url, const Env& extra = {});
    ProcessResult RunAt(const std::string& url, const std::vector<std::string>& args, const Env& extra = {}) const;
    ProcessResult Run(const std::vector<std::string>& args) const { return RunAt(server->Url(), args); }

    fs::path InstallFolder(const std::string& name = "") const;
    std::string LastLog() const;
    std::string Describe(const ProcessResult& run) const;

    // The default installation: the product's files, its registry keys and its shortcuts.
    void ExpectDefaultInstallation() const;
    void ExpectShortcutsTo(const std::string& file, const fs::path& installFolder) const;
    void ExpectNothingInstalled() const;

    std::unique_ptr<WinePrefix> wine;
    ReleaseTree release;
    FileMap product = SampleProduct();
    std::unique_ptr<ReleaseServe> server;
};

}  // namespace e2e

#pragma once
// What the end-to-end runs of the installer share: products and their published
// releases, the release servers, runs of the real OrlaDesk in a sandbox, and
// reading back what a run left behind (files, hive, desktop entries).
#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/RegistryHive.h"
#include "support/BackgroundProcess.h"
#include "support/ChildProcess.h"
#include "support/Sandbox.h"
#include "support/TempDir.h"

namespace e2e {

namespace fs = std::filesystem;

// A folder's regular files: relative path with "/" separators -> content.
using FileMap = std::map<std::string, std::string>;

extern const std::string kInstaller;
// The longest a whole installer run may take on a loaded machine.
constexpr int kRunTimeoutSeconds = 120;

// A small product: vantixchart.exe is a copy of /bin/sleep (so that running it
// maps that very file), two libraries of random bytes, a text that compresses
// well, a database file in a kept user-data folder, and the uninstaller.
FileMap SampleProduct();
// Random bytes, the same for the same seed.
std::string RandomBytes(size_t size, unsigned seed);

FileMap ReadTree(const fs::path& folder);
void WriteTree(const fs::path& folder, const FileMap& files);

// A published tree that grows release by release, as on the maker's server.
// Its folder is readable by everyone, because nginx's workers run as another
// user when the tests run as root.
class ReleaseTree {
public:
    ReleaseTree();
    const fs::path& Tree() const { return m_Tree; }
    fs::path Work() const { return m_Dir.path(); }
    // Publishes `product` as release `version` of the stable channel.
    void Publish(const FileMap& product, const std::string& version);
    // Package names (MD5s) in files/.
    std::set<std::string> Packages() const;
    // The package of a product file with this content.
    fs::path PackageOf(const std::string& content) const;

private:
    TempDir m_Dir{"vxrun"};
    fs::path m_Tree;
};

// `vxrelease serve` on 127.0.0.1, port chosen by the system. Its stderr holds
// one line per request: `ADDRESS "METHOD PATH HTTP/1.1" STATUS SIZE`.
class ReleaseServe {
public:
    explicit ReleaseServe(const fs::path& tree);
    bool Started() const { return !m_strUrl.empty(); }
    const std::string& Url() const { return m_strUrl; }
    std::string RequestLog() const { return m_Process.StderrText(); }
    int Stop() { return m_Process.Stop(); }

private:
    BackgroundProcess m_Process;
    std::string m_strUrl;
};

// The paths of the GET requests in a request log (vxrelease serve's stderr or
// nginx's access log) that start with `prefix`, in order.
std::vector<std::string> RequestedPaths(const std::string& log, const std::string& prefix);

size_t Occurrences(const std::string& text, const std::string& part);

// The installer's environment in `box`: the release server at `url`, the error
// service on a closed loopback port (a report never leaves the machine).
Sandbox::Env InstallerEnvironment(const Sandbox& box, const std::string& url, const Sandbox::Env& extra = {});
ProcessResult RunInstaller(const Sandbox& box, const std::string& url, const std::vector<std::string>& args,
                           const Sandbox::Env& extra = {});

// The sandbox's hive, read only, opened anew for each look.
std::unique_ptr<IRegistryHive> OpenHive(const Sandbox& box);
std::optional<TRegValue> HiveValue(const Sandbox& box, const std::string& key, const std::string& name);
bool HiveKeyExists(const Sandbox& box, const std::string& key);

// Waits up to `timeout` until the newest log file of `box` holds `text`.
bool WaitForLog(const Sandbox& box, const std::string& text, std::chrono::milliseconds timeout);

// "key=value" lines of a desktop entry.
std::map<std::string, std::string> DesktopEntry(const fs::path& file);

// Folders whose name starts with `prefix` directly in `folder`.
std::vector<fs::path> FoldersStartingWith(const fs::path& folder, const std::string& prefix);

// One user's sandbox, one published tree, and the expectations every run shares.
class InstallerRunTest : public testing::Test {
protected:
    // Publishes the sample product and serves it with vxrelease serve.
    void PublishAndServe();
    void Serve();
    ProcessResult Run(const std::vector<std::string>& args, const Sandbox::Env& extra = {});
    ProcessResult RunAt(const std::string& url, const std::vector<std::string>& args, const Sandbox::Env& extra = {});
    // Everything a run printed and logged, for failure messages.
    std::string Describe(const ProcessResult& run) const;

    // The installation folder holds exactly `files`.
    void ExpectFolderHolds(const fs::path& folder, const FileMap& files) const;
    // No installation key, no uninstall entry, no installation folder, no shortcut.
    void ExpectNothingInstalled() const;

    Sandbox box;
    ReleaseTree release;
    FileMap product = SampleProduct();
    std::unique_ptr<ReleaseServe> server;
};

}  // namespace e2e

#include "InstallerRunSupport.h"

#include <random>
#include <regex>
#include <sstream>
#include <thread>

#include "platform/RegistryHiveSqlite.h"
#include "release/Md5Hex.h"
#include "release/ReleasePublisher.h"
#include "support/NginxServer.h"

namespace e2e {

using namespace std::chrono_literals;

const std::string kInstaller = VX_BIN_DIR "/OrlaDesk";

std::string RandomBytes(size_t size, unsigned seed) {
    std::mt19937 gen(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(gen() & 0xFF);
    return bytes;
}

FileMap SampleProduct() {
    std::string quotes;
    for (int i = 0; i < 8000; ++i) quotes += "PETR4 " + std::to_string(i * 7 % 1000) + "\n";
    return {
        {"vantixchart.exe", ReadFileText("/bin/sleep")},
        {"lib1.dll", RandomBytes(150000, 1)},
        {"lib2.dll", RandomBytes(60000, 2)},
        {"bin/quotes.txt", quotes},
        {"database/desktops/default.json", "{\"layout\": 1}"},
        {"Desinstalar.exe", RandomBytes(3000, 3)},
    };
}

FileMap ReadTree(const fs::path& folder) {
    FileMap files;
    if (!fs::is_directory(folder)) return files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files[fs::relative(entry.path(), folder).generic_string()] = ReadFileText(entry.path());
    return files;
}

void WriteTree(const fs::path& folder, const FileMap& files) {
    for (const auto& [rel, data] : files) {
        fs::create_directories((folder / rel).parent_path());
        WriteFileText(folder / rel, data);
    }
}

ReleaseTree::ReleaseTree() : m_Tree(m_Dir / "tree") {
    fs::permissions(m_Dir.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                      fs::perms::others_read | fs::perms::others_exec);
}

void ReleaseTree::Publish(const FileMap& product, const std::string& version) {
    const fs::path source = m_Dir / ("product-" + version);
    WriteTree(source, product);
    TPublishRequest request;
    request.pathSource = source;
    request.strProduct = "orladesk";
    request.strVersion = version;
    request.strChannel = "stable";
    request.pathOut = m_Tree;
    request.strInstallerVersion = "1.81";
    request.nJobs = 1;
    PublishRelease(request);
}

std::set<std::string> ReleaseTree::Packages() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(m_Tree / "files")) names.insert(entry.path().filename().string());
    return names;
}

fs::path ReleaseTree::PackageOf(const std::string& content) const { return m_Tree / "files" / Md5Hex(content); }

ReleaseServe::ReleaseServe(const fs::path& tree)
    : m_Process(VX_BIN_DIR "/vxrelease", {"serve", tree.string(), "--bind", "127.0.0.1", "--port", "0"}) {
    std::optional<std::string> line = m_Process.WaitForLineContaining("Listening on", 30s);
    std::smatch match;
    if (line && std::regex_search(*line, match, std::regex("http://127\\.0\\.0\\.1:[0-9]+$"))) m_strUrl = match[0];
}

std::vector<std::string> RequestedPaths(const std::string& log, const std::string& prefix) {
    std::vector<std::string> paths;
    std::istringstream lines(log);
    std::string line;
    const std::regex request("\"GET ([^ \"]+) HTTP/1\\.[01]\"");
    std::smatch match;
    while (std::getline(lines, line))
        if (std::regex_search(line, match, request) && match[1].str().starts_with(prefix)) paths.push_back(match[1]);
    return paths;
}

size_t Occurrences(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
    return count;
}

Sandbox::Env InstallerEnvironment(const Sandbox& box, const std::string& url, const Sandbox::Env& extra) {
    Sandbox::Env env = {
        {"ORLADESK_DOWNLOAD_SERVER_URL", url},
        {"ORLADESK_INSTALLER_VERSION_URL", url + "/produtos/bin/newvantix/"},
        {"ORLADESK_ERROR_REPORT_URL", "https://127.0.0.1:" + std::to_string(FreeLoopbackPort()) + "/software/error"},
        {"no_proxy", ""},
        {"NO_PROXY", ""},
    };
    env.insert(env.end(), extra.begin(), extra.end());
    return box.Environment(env);
}

ProcessResult RunInstaller(const Sandbox& box, const std::string& url, const std::vector<std::string>& args,
                           const Sandbox::Env& extra) {
    return RunProcess(kInstaller, args, InstallerEnvironment(box, url, extra), "", kRunTimeoutSeconds);
}

std::unique_ptr<IRegistryHive> OpenHive(const Sandbox& box) {
    return std::make_unique<TRegistryHiveSqlite>(box.HivePath(), true);
}

std::optional<TRegValue> HiveValue(const Sandbox& box, const std::string& key, const std::string& name) {
    return OpenHive(box)->ReadValue(key, name);
}

bool HiveKeyExists(const Sandbox& box, const std::string& key) { return OpenHive(box)->KeyExists(key); }

bool WaitForLog(const Sandbox& box, const std::string& text, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    do {
        if (box.LastLog().find(text) != std::string::npos) return true;
        std::this_thread::sleep_for(20ms);
    } while (std::chrono::steady_clock::now() < end);
    return false;
}

std::map<std::string, std::string> DesktopEntry(const fs::path& file) {
    std::map<std::string, std::string> values;
    std::istringstream lines(ReadFileText(file));
    std::string line;
    while (std::getline(lines, line)) {
        const size_t eq = line.find('=');
        if (eq != std::string::npos && !line.starts_with("#")) values[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return values;
}

std::vector<fs::path> FoldersStartingWith(const fs::path& folder, const std::string& prefix) {
    std::vector<fs::path> found;
    if (!fs::is_directory(folder)) return found;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.is_directory() && entry.path().filename().string().starts_with(prefix)) found.push_back(entry.path());
    return found;
}

void InstallerRunTest::Serve() {
    server = std::make_unique<ReleaseServe>(release.Tree());
    ASSERT_TRUE(server->Started()) << server->RequestLog();
}

void InstallerRunTest::PublishAndServe() {
    release.Publish(product, "1.2.3.4");
    Serve();
}

ProcessResult InstallerRunTest::Run(const std::vector<std::string>& args, const Sandbox::Env& extra) {
    return RunAt(server->Url(), args, extra);
}

ProcessResult InstallerRunTest::RunAt(const std::string& url, const std::vector<std::string>& args,
                                      const Sandbox::Env& extra) {
    return RunInstaller(box, url, args, extra);
}

std::string InstallerRunTest::Describe(const ProcessResult& run) const {
    constexpr size_t kLogTail = 12000;
    std::string log = box.LastLog();
    if (log.size() > kLogTail) log = "..." + log.substr(log.size() - kLogTail);
    return "exit code " + std::to_string(run.exitCode) + "\nstdout:\n" + run.out + "\nstderr:\n" + run.err +
           "\nlog:\n" + log;
}

void InstallerRunTest::ExpectFolderHolds(const fs::path& folder, const FileMap& files) const {
    const FileMap found = ReadTree(folder);
    std::set<std::string> foundNames, expectedNames;
    for (const auto& [rel, data] : found) foundNames.insert(rel);
    for (const auto& [rel, data] : files) expectedNames.insert(rel);
    EXPECT_EQ(foundNames, expectedNames) << folder;
    for (const auto& [rel, data] : files) {
        auto it = found.find(rel);
        if (it != found.end()) {
            EXPECT_TRUE(it->second == data) << rel << " differs from the release";
        }
    }
}

void InstallerRunTest::ExpectNothingInstalled() const {
    std::unique_ptr<IRegistryHive> hive = OpenHive(box);
    for (const std::string& key : hive->SubKeyNames("Software\\Corvane"))
        EXPECT_FALSE(key.starts_with("OrlaDesk")) << "registered: " << key;
    EXPECT_TRUE(hive->SubKeyNames("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall").empty());
    EXPECT_TRUE(FoldersStartingWith(box.AppData() / "Corvane", "OrlaDesk").empty());
    EXPECT_FALSE(fs::exists(box.Desktop() / "Orla Desk.desktop"));
}

}  // namespace e2e

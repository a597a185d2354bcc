// The production configuration, deploy/nginx.conf, run by Debian's nginx on a
// published release: every package and document must arrive byte for byte
// with the headers the installer relies on.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <regex>
#include <thread>

#include "SampleRelease.h"
#include "support/BackgroundProcess.h"
#include "support/HttpFetch.h"

namespace fs = std::filesystem;

namespace {

using namespace std::chrono_literals;

const char* const kNginx = "/usr/sbin/nginx";

int FreeLoopbackPort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        close(fd);
        return -1;
    }
    close(fd);
    return ntohs(addr.sin_port);
}

bool AcceptsConnections(int port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    close(fd);
    return ok;
}

// Replaces the value of the first `name ...;` directive; fails the test when
// the configuration no longer has it, because then this test would silently
// run something other than what is deployed.
void SetDirective(std::string& conf, const std::string& name, const std::string& value) {
    std::regex pattern("(^|\\n)([ \\t]*)" + name + "[ \\t][^;\\n]*;");
    std::smatch match;
    ASSERT_TRUE(std::regex_search(conf, match, pattern)) << "deploy/nginx.conf lacks " << name;
    conf.replace(match.position(0), match.length(0), match[1].str() + match[2].str() + name + " " + value + ";");
}

class ReleaseNginxTest : public testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(kNginx)) GTEST_SKIP() << "nginx is not installed";
        // nginx's workers run as another user when the test runs as root: they must reach the tree.
        fs::permissions(m_Dir.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                          fs::perms::others_read | fs::perms::others_exec);
        PublishSampleRelease(m_Dir / "product", m_Dir / "tree");
        for (int attempt = 0; attempt < 3 && !m_Nginx; ++attempt) StartNginx();
        ASSERT_TRUE(m_Nginx) << "nginx did not start";
    }

    void TearDown() override {
        if (m_Nginx) m_Nginx->Stop();
    }

    void StartNginx() {
        m_nPort = FreeLoopbackPort();
        const fs::path run = m_Dir / ("nginx-" + std::to_string(m_nPort));
        fs::create_directories(run);
        std::string conf = ReadFileText(fs::path(VX_SOURCE_DIR) / "deploy/nginx.conf");
        SetDirective(conf, "listen", "127.0.0.1:" + std::to_string(m_nPort));
        SetDirective(conf, "root", (m_Dir / "tree").string());
        SetDirective(conf, "pid", (run / "nginx.pid").string());
        SetDirective(conf, "error_log", (run / "error.log").string() + " warn");
        SetDirective(conf, "access_log", (run / "access.log").string());
        for (const char* temp :
             {"client_body_temp_path", "proxy_temp_path", "fastcgi_temp_path", "uwsgi_temp_path", "scgi_temp_path"})
            SetDirective(conf, temp, (run / temp).string());
        if (geteuid() != 0) SetDirective(conf, "user", getenv("USER") ? getenv("USER") : "nobody");
        WriteFileText(run / "nginx.conf", conf);

        auto nginx = std::make_unique<BackgroundProcess>(
            kNginx, std::vector<std::string>{"-e", (run / "startup.log").string(), "-p", run.string(), "-c",
                                             (run / "nginx.conf").string(), "-g", "daemon off;"});
        for (int i = 0; i < 100 && nginx->IsRunning(); ++i) {
            if (AcceptsConnections(m_nPort)) {
                m_Nginx = std::move(nginx);
                m_strBase = "http://127.0.0.1:" + std::to_string(m_nPort);
                return;
            }
            std::this_thread::sleep_for(50ms);
        }
        ADD_FAILURE() << "nginx on port " << m_nPort << ": " << nginx->StderrText() << ReadFileText(run / "startup.log")
                      << ReadFileText(run / "error.log");
        nginx->Stop();
    }

    TempDir m_Dir{"vxnginx"};
    std::unique_ptr<BackgroundProcess> m_Nginx;
    int m_nPort = 0;
    std::string m_strBase;
};

TEST_F(ReleaseNginxTest, ServesEveryPackageAndDocumentByteForByte) {
    HttpSession session;
    const std::vector<ServedFileExpectation> files = ListServedFiles(m_Dir / "tree");
    ASSERT_EQ(files.size(), 14u);
    for (const ServedFileExpectation& file : files) {
        SCOPED_TRACE(file.strUrlPath);
        const std::string expected = ReadFileText(file.path);
        HttpAnswer answer = session.Get(m_strBase + file.strUrlPath, {.strAcceptEncoding = "gzip, deflate"});
        EXPECT_EQ(answer.nStatus, 200);
        EXPECT_EQ(answer.Header("content-type"), file.strContentType);
        EXPECT_EQ(answer.Header("content-length"), std::to_string(expected.size()));
        EXPECT_EQ(answer.Header("content-encoding"), "");
        EXPECT_EQ(answer.Header("transfer-encoding"), "");
        EXPECT_TRUE(answer.strBody == expected);
        if (file.strContentType == "application/zip")
            EXPECT_NE(answer.Header("cache-control").find("immutable"), std::string::npos);
        else
            EXPECT_EQ(answer.Header("cache-control"), "no-cache");
    }
    EXPECT_TRUE(session.Get(m_strBase + files.front().strUrlPath).bReusedConnection);
}

TEST_F(ReleaseNginxTest, AnswersNotFoundForAnythingUnpublished) {
    WriteFileText(m_Dir / "tree/files/.0123456789abcdef0123456789abcdef.tmp-1-0", "half a package");
    WriteFileText(m_Dir / "tree/version/orladesk/.pt-br.tmp-1-1", "{}");
    WriteFileText(m_Dir / "tree/files/notes.txt", "not a package");
    const char* const paths[] = {
        "/files/0123456789abcdef0123456789abcdef",
        "/files/.0123456789abcdef0123456789abcdef.tmp-1-0",
        "/version/orladesk/.pt-br.tmp-1-1",
        "/files/notes.txt",
        "/version/orladesk/alpha/to/beta/pt-br",
        "/version/orladesk/alpha/to/stable/",
        "/",
        "/files/",
    };
    HttpSession session;
    for (const char* path : paths) EXPECT_EQ(session.Get(m_strBase + path).nStatus, 404) << path;
}

}  // namespace

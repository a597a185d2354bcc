// `vxrelease serve` driven as a user would: started on port 0, asked over HTTP,
// stopped by its process id.
#include <gtest/gtest.h>

#include <regex>

#include "SampleRelease.h"
#include "support/BackgroundProcess.h"
#include "support/HttpFetch.h"

namespace {

using namespace std::chrono_literals;

class ReleaseServeTest : public testing::Test {
protected:
    void SetUp() override {
        PublishSampleRelease(m_Dir / "product", m_Dir / "tree");
        m_Server = std::make_unique<BackgroundProcess>(
            std::string(VX_BIN_DIR) + "/vxrelease",
            std::vector<std::string>{"serve", (m_Dir / "tree").string(), "--bind", "127.0.0.1", "--port", "0"});
        std::optional<std::string> line = m_Server->WaitForLineContaining("Listening on", 10s);
        ASSERT_TRUE(line.has_value()) << m_Server->StderrText();
        std::smatch match;
        ASSERT_TRUE(std::regex_search(*line, match, std::regex("http://127\\.0\\.0\\.1:([0-9]+)$"))) << *line;
        m_strBase = "http://127.0.0.1:" + match[1].str();
    }

    void TearDown() override {
        if (m_Server) EXPECT_EQ(m_Server->Stop(), 0) << "the server should end cleanly on SIGTERM";
    }

    TempDir m_Dir;
    std::unique_ptr<BackgroundProcess> m_Server;
    std::string m_strBase;
};

TEST_F(ReleaseServeTest, ServesEveryPublishedFileExactlyWithItsType) {
    HttpSession session;
    const std::vector<ServedFileExpectation> files = ListServedFiles(m_Dir / "tree");
    ASSERT_EQ(files.size(), 1u + 10u + 3u);  // version.txt, ten documents, three packages
    for (const ServedFileExpectation& file : files) {
        SCOPED_TRACE(file.strUrlPath);
        const std::string expected = ReadFileText(file.path);
        // The installer asks for compressed encodings; the bytes must still be the file's.
        HttpAnswer answer = session.Get(m_strBase + file.strUrlPath, {.strAcceptEncoding = "gzip, deflate"});
        EXPECT_EQ(answer.nStatus, 200);
        EXPECT_EQ(answer.Header("content-type"), file.strContentType);
        EXPECT_EQ(answer.Header("content-length"), std::to_string(expected.size()));
        EXPECT_EQ(answer.Header("content-encoding"), "");
        EXPECT_TRUE(answer.strBody == expected);
    }
}

TEST_F(ReleaseServeTest, KeepsTheConnectionAliveBetweenRequests) {
    HttpSession session;
    const std::string url = m_strBase + "/version/orladesk/alpha/to/stable/pt-br";
    EXPECT_FALSE(session.Get(url).bReusedConnection);
    for (int i = 0; i < 10; ++i) EXPECT_TRUE(session.Get(url).bReusedConnection) << "request " << i;
}

TEST_F(ReleaseServeTest, HeadGivesTheLengthWithoutTheBody) {
    const std::string path = "/version/orladesk/alpha/to/stable/pt-br_x64";
    HttpAnswer answer = HttpGet(m_strBase + path, {.bHead = true});
    EXPECT_EQ(answer.nStatus, 200);
    EXPECT_EQ(answer.Header("content-length"), std::to_string(ReadFileText(m_Dir / "tree" / path.substr(1)).size()));
    EXPECT_TRUE(answer.strBody.empty());
}

TEST_F(ReleaseServeTest, AnswersNotFoundForAnythingElse) {
    WriteFileText(m_Dir / "tree/files/.0123456789abcdef0123456789abcdef.tmp-1-0", "half a package");
    WriteFileText(m_Dir / "outside.txt", "not served");
    const char* const paths[] = {
        "/files/0123456789abcdef0123456789abcdef",  // no such package
        "/files/.0123456789abcdef0123456789abcdef.tmp-1-0",
        "/version/orladesk/alpha/to/beta/pt-br",
        "/version/orladesk/alpha/to/stable",
        "/version/../../outside.txt",
        "/files/../outside.txt",
        "/",
        "/index.html",
    };
    HttpSession session;
    for (const char* path : paths) {
        HttpAnswer answer = session.Get(m_strBase + path, {.bPathAsIs = true});
        EXPECT_EQ(answer.nStatus, 404) << path;
        EXPECT_EQ(answer.strBody.find("not served"), std::string::npos) << path;
    }
}

TEST_F(ReleaseServeTest, LogsOneLinePerRequest) {
    HttpGet(m_strBase + "/produtos/bin/newvantix/version.txt");
    HttpGet(m_strBase + "/files/ffffffffffffffffffffffffffffffff");
    EXPECT_EQ(m_Server->Stop(), 0);
    const std::string log = m_Server->StderrText();
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2) << log;
    EXPECT_NE(log.find("\"GET /produtos/bin/newvantix/version.txt HTTP/1.1\" 200 4"), std::string::npos) << log;
    EXPECT_NE(log.find("\"GET /files/ffffffffffffffffffffffffffffffff HTTP/1.1\" 404"), std::string::npos) << log;
}

}  // namespace

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/SelfUpdateCheck.h"
#include "service/HttpClient.h"
#include "release/SignatureFile.h"
#include "service/ReleaseKeys.h"
#include "support/LocalHttpServer.h"
#include "support/LogCapture.h"

namespace {

TReply Reply(int nStatus, const std::string& strBody) {
    TReply reply;
    reply.nStatus = nStatus;
    reply.strBody = strBody;
    reply.strContentType = "text/plain";
    return reply;
}

TEST(InstallerHasUpdate, ComparesMajorTimes256PlusMinor) {
    struct TCase {
        const char* szLocal;
        const char* szServer;
        bool bUpdate;
    };
    const std::vector<TCase> cases{
        {"1.81", "1.82", true},     // 338 > 337
        {"1.81", "1.81", false},    // equal
        {"1.81", "1.9", false},     // 265: the minor part is a number, not a fraction
        {"1.81", "1.82\n", false},  // "82\n" is not an integer: 256
        {"1.81", "2.0", true},
        {"1.81", "1.82.7.3", true},  // only the first two pieces count
        {"1.81", "x.y", false},
        {"1.81", "1.", false},
        {"1.81", "1.+82", true},
        {"2.0", "1.255", false},
        {"1.81", "99999999999.1", false},  // too large for an integer: 0
    };
    for (const TCase& c : cases)
        EXPECT_EQ(InstallerHasUpdate(c.szLocal, c.szServer), c.bUpdate) << c.szLocal << " vs " << c.szServer;
}

TEST(InstallerHasUpdate, TextWithoutMinorPartThrows) {
    EXPECT_THROW(InstallerHasUpdate("1.81", "182"), std::invalid_argument);
    EXPECT_THROW(InstallerHasUpdate("1.81", ""), std::invalid_argument);
}

class SelfUpdateFixture : public testing::Test {
protected:
    LogCapture m_Log;
    LocalHttpServer m_Server;
    THttpClient m_Client;
    TReleaseKeys m_Keys;  // none: the unsigned contract

    bool Verify() { return VerifyInstallerUpdate(m_Client, m_Server.Url("/version.txt"), "1.81", m_Keys); }
};

TEST_F(SelfUpdateFixture, NewerServerVersionIsAnnounced) {
    m_Server.Route("/version.txt", Reply(200, "1.82"));
    EXPECT_TRUE(Verify());
    EXPECT_EQ(m_Log.Lines(), (std::vector<std::string>{"GetURLAsString: strURL=" + m_Server.Url("/version.txt"),
                                                        "StatusCode=200 StatusText=OK Size=4",
                                                        "VerifyInstallerUpdate: Local=1.81 Server=1.82"}));
}

TEST_F(SelfUpdateFixture, SameOrOlderOrLineBrokenVersionIsNotAnnounced) {
    // The served text is logged with its line break escaped.
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"1.81", "1.81"}, {"1.9", "1.9"}, {"1.82\n", "1.82\\n"}};
    for (const auto& [text, logged] : cases) {
        m_Server.Route("/version.txt", Reply(200, text));
        EXPECT_FALSE(Verify()) << text;
        EXPECT_TRUE(m_Log.Contains("VerifyInstallerUpdate: Local=1.81 Server=" + logged)) << text;
    }
}

// With release keys, a newer installer is offered only when version.txt is
// signed by one of them: anything else counts as no newer installer.
TEST_F(SelfUpdateFixture, ASignedEditionOffersOnlyASignedNewerInstaller) {
    const TSigningKey key = TSigningKey::Generate();
    const TSigningKey other = TSigningKey::Generate();
    m_Keys = TReleaseKeys(key.PublicKeyBase64());
    m_Server.SetFailOnUnexpected(false);
    m_Server.Route("/version.txt", Reply(200, "1.82"));
    struct TCase {
        const char* szName;
        std::optional<TReply> signature;
        bool bOffered;
    };
    const std::vector<TCase> cases{
        {"signed", Reply(200, SignatureFileText("1.82", key)), true},
        {"no signature", std::nullopt, false},
        {"signed by another key", Reply(200, SignatureFileText("1.82", other)), false},
        {"signature of another text", Reply(200, SignatureFileText("1.83", key)), false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.szName);
        m_Server.Route("/version.txt.sig", c.signature.value_or(Reply(404, "")));
        const size_t refusals = m_Log.CountContaining("VerifyInstallerUpdate: Refused=\"signature\"");
        EXPECT_EQ(Verify(), c.bOffered);
        EXPECT_EQ(m_Log.CountContaining("VerifyInstallerUpdate: Refused=\"signature\""), refusals + !c.bOffered);
    }
}

// A version file is a few characters: a long one is logged by its start only,
// and an endless one is cut off at a few hundred bytes and counts as no answer.
TEST_F(SelfUpdateFixture, LongOrEndlessVersionFilesAreBounded) {
    m_Server.Route("/version.txt", Reply(200, "1.9" + std::string(400, '0')));
    EXPECT_FALSE(Verify());
    EXPECT_TRUE(m_Log.Contains("VerifyInstallerUpdate: Local=1.81 Server=1.9" + std::string(61, '0')));
    EXPECT_FALSE(m_Log.Contains("Server=1.9" + std::string(62, '0')));

    TReply endless{200, "1.82 and more "};
    endless.Fault = TReply::TFault::EndlessBody;
    m_Server.Route("/version.txt", endless);
    EXPECT_FALSE(Verify());
    EXPECT_TRUE(m_Log.Contains("Body larger than 512 bytes"));
    EXPECT_EQ(m_Server.HitCount("/version.txt"), 4);
}

TEST_F(SelfUpdateFixture, ServerThatNeverAnswers200IsTriedThreeTimes) {
    m_Server.Route("/version.txt", Reply(404, "gone"));
    EXPECT_FALSE(Verify());
    EXPECT_EQ(m_Server.HitCount("/version.txt"), 3);
    EXPECT_EQ(m_Log.CountContaining("GetURLAsString: strURL=" + m_Server.Url("/version.txt")), 3u);
    EXPECT_EQ(m_Log.CountContaining("StatusCode=404 StatusText=Not Found Size=4"), 3u);
    EXPECT_EQ(m_Log.Lines().back(), "VerifyInstallerUpdate: Local= Server=");
}

TEST_F(SelfUpdateFixture, LaterTryThatAnswers200GivesItsBody) {
    m_Server.Route("/version.txt", [](const TRecordedRequest&, int nHit) {
        return nHit == 0 ? Reply(500, "oops") : Reply(200, "1.90");
    });
    EXPECT_EQ(GetURLAsString(m_Client, m_Server.Url("/version.txt")), "1.90");
    EXPECT_EQ(m_Server.HitCount("/version.txt"), 2);
}

TEST_F(SelfUpdateFixture, VersionWithoutDotIsLoggedAndNotAnnounced) {
    m_Server.Route("/version.txt", Reply(200, "182"));
    EXPECT_FALSE(Verify());
    EXPECT_EQ(m_Log.CountContaining("VerifyInstallerUpdate: Exception = "), 1u);
    EXPECT_FALSE(m_Log.Contains("VerifyInstallerUpdate: Local="));
}

// A port bound on 127.0.0.1 but not listening: every connection is refused,
// and no other program can take the port while the test runs.
class TRefusingPort {
public:
    TRefusingPort() : m_nFd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof(address);
        if (m_nFd < 0 || bind(m_nFd, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
            getsockname(m_nFd, reinterpret_cast<sockaddr*>(&address), &size) != 0)
            throw std::runtime_error("cannot reserve a port");
        m_nPort = ntohs(address.sin_port);
    }
    ~TRefusingPort() { close(m_nFd); }
    std::string Url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(m_nPort) + path; }

private:
    int m_nFd;
    int m_nPort = 0;
};

TEST(SelfUpdateCheck, NoServerRaisesAfterTheThirdTry) {
    LogCapture m_Log;
    THttpClient m_Client;
    TRefusingPort port;
    const std::string url = port.Url("/version.txt");
    EXPECT_THROW(GetURLAsString(m_Client, url), THttpError);
    EXPECT_EQ(m_Log.CountContaining("GetURLAsString: strURL="), 3u);
    EXPECT_EQ(m_Log.CountContaining("TInstallerThread.GetURLAsString: NetHttpClient Exception: "), 3u);
    EXPECT_FALSE(m_Log.Contains("StatusCode="));

    EXPECT_FALSE(VerifyInstallerUpdate(m_Client, url, "1.81", TReleaseKeys()));
    EXPECT_EQ(m_Log.CountContaining("VerifyInstallerUpdate: Exception = "), 1u);
}

}  // namespace

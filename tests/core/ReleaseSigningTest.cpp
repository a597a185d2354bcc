// Signed releases as the installer will check them: every document says which
// query it answers, when it expires and the SHA-256 of each file and package,
// and every document and version.txt has a detached signature by the key.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <functional>

#include "platform/Ed25519.h"
#include "platform/Sha256Digest.h"
#include "release/Md5Hex.h"
#include "release/PublishError.h"
#include "release/ReleasePublisher.h"
#include "release/ReleaseSigner.h"
#include "release/SignatureFile.h"
#include "release/SigningKey.h"
#include "release/ZipWriter.h"
#include "service/Base64.h"
#include "service/VersionInfoReader.h"
#include "support/TempDir.h"
#include "support/TreeSnapshot.h"

namespace fs = std::filesystem;

namespace {

bool SignatureVerifies(const fs::path& file, const TEd25519PublicKey& key) {
    std::string line = ReadFileText(SignaturePathOf(file));
    if (line.empty() || line.back() != '\n') return false;
    line.pop_back();
    const std::optional<std::string> signature = Base64Decode(line);
    return signature && VerifyEd25519(key, ReadFileText(file), *signature);
}

// Seconds from now until the "YYYY-MM-DDTHH:MM:SSZ" stamp; a huge number for anything else.
long long SecondsUntil(const std::string& stamp) {
    std::tm utc{};
    char zone = 0;
    if (stamp.size() != 20 ||
        std::sscanf(stamp.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &utc.tm_year, &utc.tm_mon, &utc.tm_mday, &utc.tm_hour,
                    &utc.tm_min, &utc.tm_sec, &zone) != 7 ||
        zone != 'Z')
        return 1LL << 60;
    utc.tm_year -= 1900;
    utc.tm_mon -= 1;
    return static_cast<long long>(timegm(&utc)) - static_cast<long long>(std::time(nullptr));
}

// Every version document of a tree, with the query its path asks.
std::vector<std::pair<fs::path, TVantixVersionAnswers>> Documents(const fs::path& tree) {
    std::vector<std::pair<fs::path, TVantixVersionAnswers>> documents;
    for (const auto& entry : fs::recursive_directory_iterator(tree / "version")) {
        if (!entry.is_regular_file() || entry.path().extension() == ".sig") continue;
        const fs::path rel = fs::relative(entry.path(), tree / "version");
        const std::string channel = fs::relative(rel.parent_path(), *rel.begin()).string();
        documents.push_back({entry.path(), {rel.begin()->string(), channel, rel.filename().string()}});
    }
    return documents;
}

class ReleaseSigningTest : public testing::Test {
protected:
    void SetUp() override {
        m_Files = {{"vantixchart.exe", std::string(5000, 'v') + "chart"}, {"bin/x.dll", "library"}};
        for (const auto& [path, content] : m_Files) WriteFileText(Product() / path, content);
        WriteFileText(KeyFile(), m_Key.PrivatePem());
    }

    fs::path Product() const { return m_Dir / "product"; }
    fs::path Tree() const { return m_Dir / "tree"; }
    fs::path KeyFile() const { return m_Dir / "release.key"; }
    fs::path FirstDocument() const { return Tree() / "version/orladesk/alpha/to/stable/pt-br"; }

    TPublishRequest Request(bool sign) const {
        TPublishRequest request;
        request.pathSource = Product();
        request.strProduct = "orladesk";
        request.strVersion = "1.2.3.4";
        request.strChannel = "stable";
        request.pathOut = Tree();
        request.strInstallerVersion = "1.81";
        request.nJobs = 2;
        if (sign) request.pathSigningKey = KeyFile();
        return request;
    }

    TSignSummary Sign(unsigned days) const { return SignReleaseTree({Tree(), KeyFile(), days}); }

    // What the installer will check, for every document and for version.txt.
    void ExpectSignedTree(unsigned days) const {
        const TEd25519PublicKey key = m_Key.PublicKey();
        const auto documents = Documents(Tree());
        ASSERT_EQ(documents.size(), 10u);
        for (const auto& [path, answers] : documents) {
            SCOPED_TRACE(path);
            EXPECT_TRUE(SignatureVerifies(path, key));
            TVantixVersion version;
            ReadVersionDocument(ReadFileText(path), version);
            EXPECT_EQ(version.Answers.strProduct, answers.strProduct);
            EXPECT_EQ(version.Answers.strChannel, answers.strChannel);
            EXPECT_EQ(version.Answers.strLocale, answers.strLocale);
            EXPECT_NEAR(SecondsUntil(version.strExpires), days * 86400LL, 120);
            ASSERT_EQ(version.lstFiles.size(), m_Files.size());
            for (const auto& file : version.lstFiles) {
                std::string name = file->strFile;
                std::replace(name.begin(), name.end(), '\\', '/');
                EXPECT_EQ(file->strSha256, Sha256Hex(m_Files.at(name))) << name;
                EXPECT_EQ(file->strPackageSha256, Sha256Hex(ReadFileText(Tree() / "files" / file->strMD5))) << name;
            }
        }
        EXPECT_TRUE(SignatureVerifies(Tree() / kInstallerVersionFile, key));
    }

    TempDir m_Dir;
    std::map<std::string, std::string> m_Files;
    TSigningKey m_Key = TSigningKey::Generate();
};

TEST_F(ReleaseSigningTest, SignedPublishDescribesAndSignsEveryDocument) {
    TPublishRequest request = Request(true);
    request.nExpiryDays = 7;
    const TPublishSummary summary = PublishRelease(request);
    EXPECT_NEAR(SecondsUntil(summary.strExpires), 7 * 86400LL, 120);
    ExpectSignedTree(7);
    // Documents of different queries differ, so none can be served for another.
    EXPECT_NE(ReadFileText(FirstDocument()), ReadFileText(Tree() / "version/orladesk/beta/to/stable/pt-br"));
}

TEST_F(ReleaseSigningTest, SignaturesCoverTheExactBytes) {
    PublishRelease(Request(true));
    std::string altered = ReadFileText(FirstDocument());
    altered.replace(altered.find("\"build\": 4"), 10, "\"build\": 5");
    WriteFileText(FirstDocument(), altered);
    EXPECT_FALSE(SignatureVerifies(FirstDocument(), m_Key.PublicKey()));
    EXPECT_FALSE(SignatureVerifies(Tree() / kInstallerVersionFile, TSigningKey::Generate().PublicKey()));
}

TEST_F(ReleaseSigningTest, UnsignedPublishKeepsItsBytesAndWritesNoSignature) {
    PublishRelease(Request(false));
    const std::string exe = Md5Hex(m_Files["vantixchart.exe"]), dll = Md5Hex(m_Files["bin/x.dll"]);
    const auto size = [&](const std::string& md5) { return std::to_string(fs::file_size(Tree() / "files" / md5)); };
    const std::string expected =
        "{\n  \"major\": 1,\n  \"minor\": 2,\n  \"release\": 3,\n  \"build\": 4,\n  \"video\": \"\",\n"
        "  \"is_latest\": false,\n  \"bugged\": false,\n  \"products\": [\"orladesk\"],\n  \"changes\": [],\n"
        "  \"files\": [\n"
        "    {\"file\": \"bin/x.dll\", \"md5\": \"" +
        dll + "\", \"size\": " + size(dll) +
        ", \"install\": true},\n"
        "    {\"file\": \"vantixchart.exe\", \"md5\": \"" +
        exe + "\", \"size\": " + size(exe) + ", \"install\": true}\n  ]\n}\n";
    for (const auto& [path, answers] : Documents(Tree())) EXPECT_EQ(ReadFileText(path), expected) << path;
    for (const auto& entry : fs::recursive_directory_iterator(Tree()))
        EXPECT_NE(entry.path().extension(), ".sig") << entry.path();
}

// Unsigned documents beside stale signatures would be refused by every installer that checks them.
TEST_F(ReleaseSigningTest, UnsignedPublishOverASignedTreeIsRefused) {
    PublishRelease(Request(true));
    const auto before = SnapshotTree(Tree());
    WriteFileText(Product() / "readme.txt", "new");
    try {
        PublishRelease(Request(false));
        FAIL() << "published";
    } catch (const TPublishError& e) {
        EXPECT_NE(std::string(e.what()).find("is signed; publish with --sign-key"), std::string::npos) << e.what();
    }
    EXPECT_EQ(SnapshotTree(Tree()), before);
}

TEST_F(ReleaseSigningTest, SigningAnUnsignedTreeMakesItASignedOne) {
    PublishRelease(Request(false));
    const TSignSummary summary = Sign(3);
    EXPECT_EQ(summary.nDocuments, 10u);
    EXPECT_TRUE(summary.bVersionTxtSigned);
    ExpectSignedTree(3);
}

TEST_F(ReleaseSigningTest, SigningAgainMovesTheExpiryAndLeavesPackagesAlone) {
    PublishRelease(Request(true));
    const auto packages = SnapshotTree(Tree() / "files");
    Sign(2);
    ExpectSignedTree(2);
    EXPECT_EQ(SnapshotTree(Tree() / "files"), packages);
}

struct SignRefusal {
    const char* name;
    std::function<void(const fs::path& tree, const fs::path& key)> spoil;
    const char* message;
};

class ReleaseSigningRefusalTest : public ReleaseSigningTest, public testing::WithParamInterface<SignRefusal> {};

TEST_P(ReleaseSigningRefusalTest, RefusesAndWritesNothing) {
    PublishRelease(Request(false));
    GetParam().spoil(Tree(), KeyFile());
    const auto before = SnapshotTree(Tree());
    try {
        Sign(30);
        FAIL() << "signed";
    } catch (const TPublishError& e) {
        EXPECT_NE(std::string(e.what()).find(GetParam().message), std::string::npos) << e.what();
    }
    EXPECT_EQ(SnapshotTree(Tree()), before);
}

std::string PackageOf(const std::string& content) { return "files/" + Md5Hex(content); }

INSTANTIATE_TEST_SUITE_P(
    Cases, ReleaseSigningRefusalTest,
    testing::Values(
        SignRefusal{"MissingPackage", [](auto& tree, auto&) { fs::remove(tree / PackageOf("library")); }, "missing"},
        SignRefusal{"AlteredPackage",
                    [](auto& tree, auto&) {
                        WriteFileText(tree / PackageOf("library"), MakeZip({{"x.dll", "librarz"}}, ZipMethod::zmStore));
                    },
                    "does not hold the content"},
        SignRefusal{
            "PackageOfAnotherSize",
            [](auto& tree, auto&) {
                WriteFileText(tree / PackageOf("library"), MakeZip({{"x.dll", "library"}}, ZipMethod::zmDeflate));
            },
            "bytes for"},
        SignRefusal{"UnreadableDocument",
                    [](auto& tree, auto&) { WriteFileText(tree / "version/orladesk/alpha/to/stable/es", "{"); },
                    "cannot be read"},
        SignRefusal{"NoTree", [](auto& tree, auto&) { fs::remove_all(tree / "version"); }, "no version/ folder"},
        SignRefusal{"NotAKey", [](auto&, auto& key) { WriteFileText(key, "release key\n"); },
                    "is not a PEM private key"},
        SignRefusal{"KeyOfAnotherKind",
                    [](auto&, auto& key) {
                        const std::string command = "openssl genpkey -algorithm X25519 -out '" + key.string() + "'";
                        ASSERT_EQ(std::system(command.c_str()), 0);
                    },
                    "is not an Ed25519 key"},
        SignRefusal{"MissingKey", [](auto&, auto& key) { fs::remove(key); }, "signing key"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace

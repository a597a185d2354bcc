#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <map>
#include <random>

#include "release/Md5Hex.h"
#include "release/PublishError.h"
#include "release/ReleasePublisher.h"
#include "release/ZipWriter.h"
#include "service/VersionInfoReader.h"
#include "support/TempDir.h"
#include "support/TreeSnapshot.h"
#include "support/ZipReadBack.h"

namespace fs = std::filesystem;

namespace {

std::string RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 gen(seed);
    std::string data(size, '\0');
    for (char& c : data) c = static_cast<char>(gen() & 0xFF);
    return data;
}

std::string TextLines(std::size_t lines, const std::string& word) {
    std::string text;
    for (std::size_t i = 0; i < lines; ++i) text += word + " " + std::to_string(i) + "\n";
    return text;
}

std::string BackSlashed(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

TVantixVersion ReadDocument(const fs::path& path) {
    TVantixVersion version;
    ReadVersionDocument(ReadFileText(path), version);
    return version;
}

std::string Md5Of(const TVantixVersion& version, const std::string& file) {
    for (const auto& entry : version.lstFiles)
        if (entry->strFile == file) return entry->strMD5;
    return "(not listed)";
}

class ReleasePublisherTest : public testing::Test {
protected:
    void SetUp() override {
        m_Files = {
            {"vantixchart.exe", RandomBytes(60000, 1)}, {"bin/data.txt", TextLines(8000, "quote")},
            {"bin/sub/app.cfg", "[main]\nkey=value\n"}, {"database/desktops/default.json", "{}"},
            {"readme.txt", TextLines(50, "read me")},
        };
        for (const auto& [path, content] : m_Files) WriteFileText(Product() / path, content);
    }

    fs::path Product() const { return m_Dir / "product"; }
    fs::path Tree() const { return m_Dir / "tree"; }
    fs::path Document(const std::string& from, const std::string& to, const std::string& suffix) const {
        return Tree() / "version/orladesk" / from / "to" / to / suffix;
    }

    TPublishRequest Request() const {
        TPublishRequest request;
        request.pathSource = Product();
        request.strProduct = "orladesk";
        request.strVersion = "1.2.3.4";
        request.strChannel = "stable";
        request.pathOut = Tree();
        request.nJobs = 2;
        return request;
    }

    TempDir m_Dir;
    std::map<std::string, std::string> m_Files;
};

TEST_F(ReleasePublisherTest, EveryFileBecomesAOneEntryPackageNamedByItsContent) {
    const TPublishSummary summary = PublishRelease(Request());
    EXPECT_EQ(summary.nFiles, m_Files.size());
    EXPECT_EQ(summary.nPackagesWritten, m_Files.size());

    const TVantixVersion version = ReadDocument(Document("alpha", "stable", "pt-br"));
    EXPECT_EQ(std::vector<int>({version.nMajor, version.nMinor, version.nRelease, version.nBuild}),
              std::vector<int>({1, 2, 3, 4}));
    ASSERT_EQ(version.lstFiles.size(), m_Files.size());
    std::size_t index = 0;
    for (const auto& [path, content] : m_Files) {  // sorted by path, as the document is
        SCOPED_TRACE(path);
        const TVantixVersionFile& file = *version.lstFiles[index++];
        EXPECT_EQ(file.strFile, BackSlashed(path));
        EXPECT_EQ(file.strMD5, Md5Hex(content));
        EXPECT_TRUE(file.bInstall);
        EXPECT_TRUE(file.strProduct.empty());
        const std::string package = ReadFileText(Tree() / "files" / file.strMD5);
        EXPECT_EQ(file.nFileSize, package.size());
        const std::vector<ZipEntry> entries = ReadZipWithLibarchive(package);
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries[0].strName, fs::path(path).filename().string());
        EXPECT_EQ(Md5Hex(entries[0].strData), file.strMD5);
    }
}

TEST_F(ReleasePublisherTest, EveryChannelLeadsToThePublishedOneInBothVariants) {
    PublishRelease(Request());
    const std::string expected = ReadFileText(Document("alpha", "stable", "pt-br"));
    for (const std::string& from : ReleaseChannels()) {
        for (const std::string& suffix : {"pt-br", "pt-br_x64"}) {
            EXPECT_EQ(ReadFileText(Document(from, "stable", suffix)), expected) << from << " " << suffix;
        }
    }
    EXPECT_FALSE(fs::exists(Tree() / "produtos"));  // no version.txt unless asked
}

TEST_F(ReleasePublisherTest, CompressionChoiceDecidesThePackageMethod) {
    const struct {
        TPackCompression compression;
        int nRandomMethod;
        int nTextMethod;
    } cases[] = {
        {TPackCompression::pcStore, 0, 0},
        {TPackCompression::pcDeflate, 8, 8},
        {TPackCompression::pcLzma, 14, 14},
        {TPackCompression::pcAuto, 0, 14},  // LZMA beats Deflate on long text
    };
    WriteFileText(Product() / "bin/empty.log", "");
    for (const auto& c : cases) {
        TempDir tree;
        TPublishRequest request = Request();
        request.pathOut = tree.path();
        request.compression = c.compression;
        PublishRelease(request);
        const std::string random = ReadFileText(tree / ("files/" + Md5Hex(m_Files["vantixchart.exe"])));
        const std::string text = ReadFileText(tree / ("files/" + Md5Hex(m_Files["bin/data.txt"])));
        EXPECT_EQ(FirstEntryMethod(random), c.nRandomMethod);
        EXPECT_EQ(FirstEntryMethod(text), c.nTextMethod);
        EXPECT_EQ(ReadZipWithLibarchive(text).at(0).strData, m_Files["bin/data.txt"]);
        // Whatever was asked, an empty file is stored: the installer's reader fails on an empty LZMA entry.
        const std::string empty = ReadFileText(tree / ("files/" + Md5Hex("")));
        EXPECT_EQ(FirstEntryMethod(empty), 0);
        EXPECT_EQ(ReadZipWithLibarchive(empty).at(0).strData, "");
    }
}

TEST_F(ReleasePublisherTest, ReleasesThatShareFilesShareTheirPackages) {
    PublishRelease(Request());
    const fs::path shared = Tree() / "files" / Md5Hex(m_Files["bin/data.txt"]);
    const auto before = SnapshotTree(Tree() / "files");

    WriteFileText(Product() / "readme.txt", "changed for the beta\n");
    TPublishRequest beta = Request();
    beta.strVersion = "1.2.4.0";
    beta.strChannel = "beta";
    const TPublishSummary summary = PublishRelease(beta);

    EXPECT_EQ(summary.nPackagesWritten, 1u);
    EXPECT_EQ(summary.nPackagesReused, m_Files.size() - 1);
    const auto after = SnapshotTree(Tree() / "files");
    for (const auto& [name, facts] : before) EXPECT_EQ(after.at(name), facts) << name;  // nothing rewritten
    EXPECT_EQ(after.size(), before.size() + 1);
    // The stable release still finds its old readme; the beta one its new readme.
    EXPECT_EQ(Md5Of(ReadDocument(Document("alpha", "stable", "pt-br")), "readme.txt"), Md5Hex(m_Files["readme.txt"]));
    EXPECT_EQ(Md5Of(ReadDocument(Document("stable", "beta", "pt-br")), "readme.txt"), Md5Hex("changed for the beta\n"));
}

TEST_F(ReleasePublisherTest, PublishingTheSameFolderTwiceChangesNothing) {
    TPublishRequest request = Request();
    request.strInstallerVersion = "1.81";
    PublishRelease(request);
    const auto before = SnapshotTree(Tree());
    const TPublishSummary again = PublishRelease(request);
    EXPECT_EQ(SnapshotTree(Tree()), before);
    EXPECT_EQ(again.nPackagesWritten, 0u);
    EXPECT_EQ(again.nDocumentsWritten, 0u);
    EXPECT_EQ(again.nDocumentsUnchanged, 10u);
    EXPECT_FALSE(again.bVersionTxtWritten);
}

TEST_F(ReleasePublisherTest, OptionsReachTheDocuments) {
    WriteFileText(m_Dir / "changes.txt", "Faster charts\r\n\nNew \"quote\" panel\n");
    TPublishRequest request = Request();
    request.arFileProducts = {{"bin/sub/", "orladesk"}, {"database", "vantix"}};
    request.pathChangeLog = m_Dir / "changes.txt";
    request.strVideo = "https://video.invalid/1.2.3.4";
    request.bBugged = true;
    request.bIsLatest = true;
    request.arLocales = {"pt-br", "es"};
    request.variants = TArchVariants::avX64;
    request.arProducts = {"orladesk", "vantix"};
    request.strInstallerVersion = "1.81";
    PublishRelease(request);

    EXPECT_EQ(ReadFileText(Tree() / "produtos/bin/newvantix/version.txt"), "1.81");
    EXPECT_TRUE(fs::exists(Document("beta", "stable", "es_x64")));
    EXPECT_FALSE(fs::exists(Document("beta", "stable", "es")));
    EXPECT_FALSE(fs::exists(Document("beta", "stable", "pt-br")));
    const TVantixVersion version = ReadDocument(Document("beta", "stable", "pt-br_x64"));
    EXPECT_EQ(version.strVideo, "https://video.invalid/1.2.3.4");
    EXPECT_TRUE(version.bBugVersion);
    EXPECT_TRUE(version.bIsLatest);
    EXPECT_EQ(version.arProducts, std::vector<std::string>({"orladesk", "vantix"}));
    ASSERT_EQ(version.arChanges.size(), 2u);
    EXPECT_EQ(version.arChanges[0].strText, "Faster charts");
    EXPECT_EQ(version.arChanges[1].strText, "New \"quote\" panel");
    std::map<std::string, std::string> products;
    for (const auto& file : version.lstFiles) products[file->strFile] = file->strProduct;
    EXPECT_EQ(products.at("bin\\sub\\app.cfg"), "orladesk");
    EXPECT_EQ(products.at("database\\desktops\\default.json"), "vantix");
    EXPECT_EQ(products.at("bin\\data.txt"), "");
}

TEST_F(ReleasePublisherTest, LinksInsideTheFolderAreFollowed) {
    fs::create_directory_symlink("bin/sub", Product() / "config");
    PublishRelease(Request());
    const TVantixVersion version = ReadDocument(Document("alpha", "stable", "pt-br"));
    ASSERT_EQ(version.lstFiles.size(), m_Files.size() + 1);
    const auto& linked = *version.lstFiles[2];
    EXPECT_EQ(linked.strFile, "config\\app.cfg");
    EXPECT_EQ(linked.strMD5, Md5Hex(m_Files["bin/sub/app.cfg"]));
}

struct RefusalCase {
    const char* name;
    std::function<void(TPublishRequest&, const fs::path& dir)> arrange;
    const char* message;
};

class ReleasePublisherRefusalTest : public ReleasePublisherTest, public testing::WithParamInterface<RefusalCase> {};

TEST_P(ReleasePublisherRefusalTest, RefusesWithAClearMessageAndPublishesNothing) {
    TPublishRequest request = Request();
    GetParam().arrange(request, m_Dir.path());
    const bool outExisted = fs::exists(request.pathOut);
    const auto before = fs::exists(Tree()) ? SnapshotTree(Tree()) : std::map<std::string, std::string>{};
    try {
        PublishRelease(request);
        FAIL() << "published";
    } catch (const TPublishError& e) {
        EXPECT_NE(std::string(e.what()).find(GetParam().message), std::string::npos) << e.what();
    }
    if (fs::exists(Tree())) EXPECT_EQ(SnapshotTree(Tree()), before);
    if (!outExisted) EXPECT_FALSE(fs::exists(request.pathOut));
}

void SetVersion(TPublishRequest& r, const char* version) { r.strVersion = version; }

INSTANTIATE_TEST_SUITE_P(
    Cases, ReleasePublisherRefusalTest,
    testing::Values(
        RefusalCase{"MissingFolder", [](auto& r, auto& d) { r.pathSource = d / "nothing"; }, "does not exist"},
        RefusalCase{"FileInsteadOfFolder", [](auto& r, auto&) { r.pathSource /= "readme.txt"; }, "is not a folder"},
        RefusalCase{"EmptyFolder",
                    [](auto& r, auto& d) {
                        fs::create_directories(d / "empty");
                        r.pathSource = d / "empty";
                    },
                    "holds no file"},
        RefusalCase{"LinkOutOfTheFolder",
                    [](auto& r, auto& d) {
                        WriteFileText(d / "elsewhere.txt", "secret");
                        fs::create_symlink(d / "elsewhere.txt", r.pathSource / "bin/secret.txt");
                    },
                    "leads out of the folder"},
        RefusalCase{"RelativeLinkOutOfTheFolder",
                    [](auto& r, auto&) { fs::create_directory_symlink("../..", r.pathSource / "bin/up"); },
                    "leads out of the folder"},
        RefusalCase{"BrokenLink",
                    [](auto& r, auto&) { fs::create_symlink("missing.dll", r.pathSource / "bin/gone.dll"); },
                    "broken symbolic link"},
        RefusalCase{"LinkLoop", [](auto& r, auto&) { fs::create_directory_symlink("..", r.pathSource / "bin/loop"); },
                    "loops"},
        RefusalCase{"BackSlashInName", [](auto& r, auto&) { WriteFileText(r.pathSource / "bin/a\\b.dll", "x"); },
                    "back-slash"},
        RefusalCase{"WindowsForbiddenName", [](auto& r, auto&) { WriteFileText(r.pathSource / "what?.txt", "x"); },
                    "does not allow"},
        RefusalCase{"NamesDifferingOnlyInCase",
                    [](auto& r, auto&) { WriteFileText(r.pathSource / "README.TXT", "other"); }, "letter case"},
        RefusalCase{"SameContentUnderTwoNames",
                    [](auto& r, auto&) { WriteFileText(r.pathSource / "bin/copy.cfg", "[main]\nkey=value\n"); },
                    "same content"},
        RefusalCase{"EarlierPackageOfTheSameContentUnderAnotherName",
                    [](auto& r, auto&) {
                        const std::string content = "[main]\nkey=value\n";
                        WriteFileText(r.pathOut / "files" / Md5Hex(content),
                                      MakeZip({{"old-name.cfg", content}}, ZipMethod::zmDeflate));
                    },
                    "earlier release"},
        RefusalCase{"OutputInsideTheProduct", [](auto& r, auto&) { r.pathOut = r.pathSource / "bin/release"; },
                    "inside the product folder"},
        RefusalCase{"ThreeNumbers", [](auto& r, auto&) { SetVersion(r, "1.2.3"); }, "four whole numbers"},
        RefusalCase{"FiveNumbers", [](auto& r, auto&) { SetVersion(r, "1.2.3.4.5"); }, "four whole numbers"},
        RefusalCase{"Letters", [](auto& r, auto&) { SetVersion(r, "1.2.x.4"); }, "four whole numbers"},
        RefusalCase{"EmptyPart", [](auto& r, auto&) { SetVersion(r, "1..3.4"); }, "four whole numbers"},
        RefusalCase{"Negative", [](auto& r, auto&) { SetVersion(r, "-1.2.3.4"); }, "four whole numbers"},
        RefusalCase{"TooLarge", [](auto& r, auto&) { SetVersion(r, "1.2.3.4294967296"); }, "four whole numbers"},
        RefusalCase{"UnknownChannel", [](auto& r, auto&) { r.strChannel = "nightly"; }, "not one of"},
        RefusalCase{"ProductForUnknownFile",
                    [](auto& r, auto&) {
                        r.arFileProducts = {{"bin/none.dll", "orladesk"}};
                    },
                    "no file or folder"},
        RefusalCase{"InstallerVersionWithThreeParts", [](auto& r, auto&) { r.strInstallerVersion = "1.81.0"; },
                    "two whole numbers"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ReleasePublisherTest, RefusesAnUnreadableFolder) {
    if (geteuid() == 0) GTEST_SKIP() << "root reads every folder";
    fs::permissions(Product() / "bin/sub", fs::perms::none);
    EXPECT_THROW(PublishRelease(Request()), TPublishError);
    fs::permissions(Product() / "bin/sub", fs::perms::owner_all);
    EXPECT_FALSE(fs::exists(Tree()));
}

}  // namespace

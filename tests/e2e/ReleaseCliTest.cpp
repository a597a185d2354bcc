// `vxrelease` as the people who publish releases use it: help, refusals, exit codes.
#include <gtest/gtest.h>

#include "support/ChildProcess.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

const std::string kTool = std::string(VX_BIN_DIR) + "/vxrelease";

TEST(ReleaseCliTest, PublishHelpListsTheOptions) {
    ProcessResult result = RunProcess(kTool, {"publish", "--help"});
    EXPECT_EQ(result.exitCode, 0);
    for (const char* option : {"--product", "--version", "--channel", "--out", "--method", "--file-product",
                               "--changes", "--video", "--bugged", "--is-latest", "--locale", "--variants",
                               "--installer-version", "--jobs", "auto", "lzma", "deflate", "store"})
        EXPECT_NE(result.out.find(option), std::string::npos) << option;
}

TEST(ReleaseCliTest, PublishesAndSaysWhatItDid) {
    TempDir dir;
    WriteFileText(dir / "product/bin/app.exe", "program");
    const std::vector<std::string> args{"publish",
                                        (dir / "product").string(),
                                        "--product",
                                        "orladesk",
                                        "--version",
                                        "2.0.0.1",
                                        "--channel",
                                        "beta",
                                        "--out",
                                        (dir / "tree").string(),
                                        "--installer-version=1.82"};
    ProcessResult first = RunProcess(kTool, args);
    EXPECT_EQ(first.exitCode, 0) << first.err;
    EXPECT_NE(first.out.find("1 files, 1 packages written"), std::string::npos) << first.out;
    EXPECT_EQ(ReadFileText(dir / "tree/produtos/bin/newvantix/version.txt"), "1.82");
    ProcessResult second = RunProcess(kTool, args);
    EXPECT_EQ(second.exitCode, 0) << second.err;
    EXPECT_NE(second.out.find("0 packages written (0 bytes), 1 reused, 0 documents written, 10 unchanged"),
              std::string::npos)
        << second.out;
}

TEST(ReleaseCliTest, RefusalsExitWithOneAndPublishNothing) {
    TempDir dir;
    WriteFileText(dir / "product/bin/app.exe", "program");
    WriteFileText(dir / "product/bin/odd\\name.dll", "x");
    const struct {
        std::string source, version, message;
    } cases[] = {
        {(dir / "missing").string(), "1.0.0.0", "does not exist"},
        {(dir / "product").string(), "1.0.0.0", "back-slash"},
        {(dir / "product").string(), "1.0", "four whole numbers"},
    };
    for (const auto& c : cases) {
        ProcessResult result = RunProcess(kTool, {"publish", c.source, "--product", "orladesk", "--version", c.version,
                                                  "--channel", "stable", "--out", (dir / "tree").string()});
        EXPECT_EQ(result.exitCode, 1) << c.message;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
        EXPECT_NE(result.err.find("Nothing was published"), std::string::npos) << result.err;
        EXPECT_FALSE(fs::exists(dir / "tree"));
    }
}

TEST(ReleaseCliTest, UsageErrorsExitWithTwo) {
    const std::vector<std::vector<std::string>> cases{
        {},
        {"unpublish"},
        {"publish", "x", "--version", "1.0.0.0", "--channel", "stable", "--out", "t"},  // no --product
        {"publish", "x", "--product", "orladesk", "--version", "1.0.0.0", "--channel", "stable", "--out", "t",
         "--method", "zstd"},
        {"publish", "x", "--product", "orladesk", "--version", "1.0.0.0", "--channel", "stable", "--out", "t",
         "--colour"},
        {"serve"},
        {"serve", "tree", "--port", "70000"},
    };
    for (const auto& args : cases) {
        ProcessResult result = RunProcess(kTool, args);
        EXPECT_EQ(result.exitCode, 2) << testing::PrintToString(args) << result.err;
        EXPECT_NE(result.err.find("Usage:"), std::string::npos);
    }
}

}  // namespace

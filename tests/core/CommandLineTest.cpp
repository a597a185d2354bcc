#include <gtest/gtest.h>

#include "base/CommandLine.h"

namespace {

struct CommandLineCase {
    std::vector<std::string> args;  // without the program's path
    bool valid;
    bool help;
    TCmdInstallType type;
    std::string name;
    bool singleThreaded;
};

class CommandLineTable : public ::testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLineTable, CheckHelpModeNameAndSwitch) {
    const auto& c = GetParam();
    std::vector<std::string> words{"/opt/x/OrlaDesk"};
    words.insert(words.end(), c.args.begin(), c.args.end());
    TCommandLine cmd(words);
    EXPECT_EQ(cmd.ArgumentsValid(), c.valid);
    EXPECT_EQ(cmd.ShowHelp(), c.help);
    EXPECT_EQ(cmd.InstallType(), c.type);
    EXPECT_EQ(cmd.Name(), c.name);
    EXPECT_EQ(cmd.SingleThreaded(), c.singleThreaded);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLineTable,
    ::testing::Values(
        CommandLineCase{{}, true, false, citNone, "", false},
        CommandLineCase{{"/install"}, true, false, citInstall, "", false},
        CommandLineCase{{"/update"}, true, false, citUpdate, "", false},
        CommandLineCase{{"/repair"}, true, false, citNone, "", false},
        CommandLineCase{{"/st"}, true, false, citNone, "", true},
        // The check ignores letter case, the mode rule does not.
        CommandLineCase{{"/INSTALL"}, true, false, citNone, "", false},
        CommandLineCase{{"/Update", "a"}, true, false, citNone, "a", false},
        CommandLineCase{{"/install", "a"}, true, false, citInstall, "a", false},
        // "/st" is no name: a separator would put the installation folder
        // below another one. The switch still counts where it stands.
        CommandLineCase{{"/install", "/st"}, false, true, citInstall, "/st", true},
        CommandLineCase{{"/st", "a"}, false, true, citNone, "a", true},
        CommandLineCase{{"/repair", "b"}, true, false, citNone, "b", false},
        CommandLineCase{{"/install", "two", "words"}, false, true, citNone, "", false},
        CommandLineCase{{"/install", ""}, false, true, citInstall, "", false},
        CommandLineCase{{"/install", "a b"}, false, true, citInstall, "a b", false},
        CommandLineCase{{"/update", "a", "/?"}, false, true, citNone, "", false},
        CommandLineCase{{"/update", "/?"}, false, true, citUpdate, "/?", false},
        // The name becomes part of the installation folder: nothing may lead
        // out of it, with either separator; dots inside a name are fine.
        CommandLineCase{{"/install", "..\\..\\x"}, false, true, citInstall, "..\\..\\x", false},
        CommandLineCase{{"/update", "a/../../x"}, false, true, citUpdate, "a/../../x", false},
        CommandLineCase{{"/repair", "x\\.."}, false, true, citNone, "x\\..", false},
        CommandLineCase{{"/install", "a..b"}, true, false, citInstall, "a..b", false},
        CommandLineCase{{"/install", "a..b/..c"}, false, true, citInstall, "a..b/..c", false},
        CommandLineCase{{"/update", ".."}, false, true, citUpdate, "..", false},
        CommandLineCase{{"/?"}, false, true, citNone, "", false},
        CommandLineCase{{"/x"}, false, true, citNone, "", false}));

}  // namespace

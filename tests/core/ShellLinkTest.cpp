#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/ShellLink.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> FolderNames(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(ShellLink, EntryForAProductInAFolderWithBlanks) {
    TempDir dir{"vxlink"};
    const std::string target = (dir / "My Apps" / "vantixchart.exe").string();
    SaveShellLink((dir / "Orla Desk (a).lnk").string(), target, "", "", "");

    const fs::path file = dir / "Orla Desk (a).desktop";
    EXPECT_EQ(ReadFileText(file), "[Desktop Entry]\nType=Application\nName=Orla Desk (a)\nExec=\"" + target +
                                      "\"\nTerminal=false\n");
    struct stat st{};
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0755u);
    EXPECT_EQ(FolderNames(dir.path()), std::vector<std::string>{"Orla Desk (a).desktop"});
}

TEST(ShellLink, ArgumentsWorkingFolderAndDescription) {
    TempDir dir{"vxlink"};
    SaveShellLink((dir / "x.lnk").string(), "/opt/x", "--a b%", "A tool", "/srv/work dir");
    EXPECT_EQ(ReadFileText(dir / "x.desktop"),
              "[Desktop Entry]\nType=Application\nName=x\nComment=A tool\nExec=/opt/x --a b%%\n"
              "Path=/srv/work dir\nTerminal=false\n");
}

TEST(ShellLink, SavingAgainReplacesTheEntry) {
    TempDir dir{"vxlink"};
    SaveShellLink((dir / "x.lnk").string(), "/old", "", "", "");
    SaveShellLink((dir / "x.lnk").string(), "/new", "", "", "");
    EXPECT_NE(ReadFileText(dir / "x.desktop").find("Exec=/new\n"), std::string::npos);
    EXPECT_EQ(FolderNames(dir.path()), std::vector<std::string>{"x.desktop"});
}

TEST(ShellLink, FailureNamesTheFileAndLeavesNothingBehind) {
    TempDir dir{"vxlink"};
    fs::create_directories(dir / "x.desktop");  // a folder where the entry should go
    try {
        SaveShellLink((dir / "x.lnk").string(), "/opt/x", "", "", "");
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find((dir / "x.desktop").string()), std::string::npos) << e.what();
    }
    EXPECT_EQ(FolderNames(dir.path()), std::vector<std::string>{"x.desktop"});
    EXPECT_THROW(SaveShellLink((dir / "missing" / "y.lnk").string(), "/opt/x", "", "", ""), std::runtime_error);
}

TEST(ShellLink, LinkNameBecomesDesktopEntryName) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {"/d/Orla Desk (a).lnk", "/d/Orla Desk (a).desktop"},
        {"/d/Orla Desk.LNK", "/d/Orla Desk.desktop"},
        {"/d/Orla Desk", "/d/Orla Desk.desktop"},
        {"/d/Orla Desk.desktop", "/d/Orla Desk.desktop"},
    };
    for (const auto& [link, file] : cases) EXPECT_EQ(ShellLinkFilePath(link).string(), file) << link;
}

TEST(ShellLink, ExecArgumentQuoting) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {"/opt/orla/vantixchart.exe", "/opt/orla/vantixchart.exe"},
        {"/My Apps/x", "\"/My Apps/x\""},
        {"", "\"\""},
        {"say\"hi\"", "\"say\\\\\"hi\\\\\"\""},   // \" inside quotes, its back-slash escaped again
        {"$HOME/x", "\"\\\\$HOME/x\""},
        {"a`b", "\"a\\\\`b\""},
        {"C:\\x", "\"C:\\\\\\\\x\""},           // quoted \\, then each back-slash escaped
        {"50%", "50%%"},
        {"it's", "\"it's\""},
        {"a\tb", "\"a\\tb\""},
    };
    for (const auto& [argument, expected] : cases) EXPECT_EQ(DesktopExecArgument(argument), expected) << argument;
}

}  // namespace

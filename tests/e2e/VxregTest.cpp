#include <gtest/gtest.h>

#include <thread>

#include "platform/RegistryHiveSqlite.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"

namespace {

using Args = std::vector<std::string>;

const std::string kNotFound = "ERROR: The system was unable to find the specified registry key or value.\n";
const std::string kDone = "The operation completed successfully.\n";

class Vxreg : public ::testing::Test {
protected:
    TempDir m_Dir{"vxreg"};
    std::filesystem::path m_Hive = m_Dir / "config/vxreg/HKCU.sqlite";

    ProcessResult Run(const Args& args, const std::string& stdinText = "") {
        return RunProcess(VX_BIN_DIR "/vxreg", args, {{"VXREG_HKCU", m_Hive.string()}}, stdinText, 30);
    }
    void Ok(const Args& args, const std::string& stdinText = "") {
        auto r = Run(args, stdinText);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        ASSERT_EQ(r.err, "");
    }
    void AddInstallation() {
        Ok({"add", "HKCU\\Software\\Corvane\\OrlaDesk\\1.0", "/v", "Dir", "/d", "/home/ana/Orla Desk/", "/f"});
        Ok({"add", "HKCU\\Software\\Corvane\\OrlaDesk\\1.0\\Preferences", "/v", "Language", "/d", "2", "/f"});
        Ok({"add", "HKCU\\Software\\Corvane\\OrlaDesk\\1.0", "/v", "NoModify", "/t", "REG_DWORD", "/d", "10", "/f"});
        Ok({"add", "HKCU\\Software\\Corvane\\OrlaDesk\\1.0\\Default"});
    }
    TRegistryHiveSqlite OpenHive() { return TRegistryHiveSqlite(m_Hive, true); }
};

TEST_F(Vxreg, AddThenQueryPrintsKeyValuesAndSubKeys) {
    auto r = Run({"add", "HKCU\\Software\\Corvane\\OrlaDesk\\1.0", "/v", "Dir", "/d", "/home/ana/Orla Desk/"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, kDone);
    AddInstallation();
    r = Run({"query", "HKCU\\Software\\Corvane\\OrlaDesk\\1.0"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out,
              "\n"
              "HKEY_CURRENT_USER\\Software\\Corvane\\OrlaDesk\\1.0\n"
              "    Dir    REG_SZ    /home/ana/Orla Desk/\n"
              "    NoModify    REG_DWORD    0xa\n"
              "\n"
              "HKEY_CURRENT_USER\\Software\\Corvane\\OrlaDesk\\1.0\\Preferences\n"
              "HKEY_CURRENT_USER\\Software\\Corvane\\OrlaDesk\\1.0\\Default\n");
    // What vxreg wrote is what the installer's hive class reads.
    EXPECT_EQ(OpenHive().ReadString("Software\\Corvane\\OrlaDesk\\1.0\\Preferences", "Language"), "2");
}

TEST_F(Vxreg, RecursiveQueryListsEveryKeyInOrder) {
    AddInstallation();
    auto r = Run({"QUERY", "HKEY_CURRENT_USER\\Software\\Corvane", "/S"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out,
              "\n"
              "HKEY_CURRENT_USER\\Software\\Corvane\n"
              "\n"
              "HKEY_CURRENT_USER\\Software\\Corvane\\OrlaDesk\n"
              "\n"
              "HKEY_CURRENT_USER\\Software\\Corvane\\OrlaDesk\\1.0\n"
              "    Dir    REG_SZ    /home/ana/Orla Desk/\n"
              "    NoModify    REG_DWORD    0xa\n"
              "\n"
              "HKEY_CURRENT_USER\\Software\\Corvane\\OrlaDesk\\1.0\\Preferences\n"
              "    Language    REG_SZ    2\n"
              "\n"
              "HKEY_CURRENT_USER\\Software\\Corvane\\OrlaDesk\\1.0\\Default\n"
              "\n");
}

TEST_F(Vxreg, QueryOneValueAlsoAcrossSubKeys) {
    AddInstallation();
    Ok({"add", "HKCU\\Software\\Corvane\\OrlaDesk_a\\1.0", "/v", "DIR", "/d", "/b/"});
    auto r = Run({"query", "HKCU\\Software\\Corvane\\OrlaDesk\\1.0", "/v", "dir"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "\nHKEY_CURRENT_USER\\Software\\Corvane\\OrlaDesk\\1.0\n    Dir    REG_SZ    /home/ana/Orla Desk/\n\n");
    r = Run({"query", "HKCU\\Software\\Corvane", "/v", "Dir", "/s"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out,
              "\nHKEY_CURRENT_USER\\Software\\Corvane\\OrlaDesk\\1.0\n    Dir    REG_SZ    /home/ana/Orla Desk/\n"
              "\nHKEY_CURRENT_USER\\Software\\Corvane\\OrlaDesk_a\\1.0\n    DIR    REG_SZ    /b/\n"
              "\nEnd of search: 2 match(es) found.\n");
}

TEST_F(Vxreg, KeyNamesIgnoreLetterCaseAndShowTheStoredCase) {
    Ok({"add", "HKCU\\Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "/v", "Desktop", "/d",
        "/home/ana/Desktop"});
    Ok({"add", "hkcu\\SOFTWARE\\microsoft\\WINDOWS\\currentversion\\explorer\\shell folders\\New", "/v", "programs",
        "/d", "/p"});
    auto r = Run({"query", "hkey_current_user\\software\\MICROSOFT\\windows\\CurrentVersion\\EXPLORER\\Shell folders\\",
                  "/s"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out,
              "\nHKEY_CURRENT_USER\\Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders\n"
              "    Desktop    REG_SZ    /home/ana/Desktop\n"
              "\nHKEY_CURRENT_USER\\Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders\\New\n"
              "    programs    REG_SZ    /p\n"
              "\n");
}

TEST_F(Vxreg, MissingKeysAndValuesFailWithRegsMessage) {
    AddInstallation();
    const Args cases[] = {
        {"query", "HKCU\\Software\\Nobody"},
        {"query", "HKCU\\Software\\Corvane\\OrlaDesk\\1.0\\Nothing", "/s"},
        {"query", "HKCU\\Software\\Corvane\\OrlaDesk\\1.0", "/v", "Missing"},
        {"query", "HKCU\\Software\\Corvane\\OrlaDesk\\1.0", "/ve"},
        {"query", "HKCU\\Software\\Corvane", "/v", "Missing", "/s"},
        {"delete", "HKCU\\Software\\Nobody", "/f"},
        {"delete", "HKCU\\Software\\Corvane\\OrlaDesk\\1.0", "/v", "Missing", "/f"},
        {"export", "HKCU\\Software\\Nobody", (m_Dir / "x.reg").string()},
    };
    for (const auto& args : cases) {
        SCOPED_TRACE(args[0] + " " + args[1] + " " + (args.size() > 2 ? args[2] : ""));
        auto r = Run(args);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, kNotFound);
    }
    EXPECT_FALSE(std::filesystem::exists(m_Dir / "x.reg"));
}

TEST_F(Vxreg, QueriesOnAHiveThatDoesNotExistYetCreateNothing) {
    auto r = Run({"query", "HKCU\\Software"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, kNotFound);
    EXPECT_FALSE(std::filesystem::exists(m_Hive.parent_path()));
}

TEST_F(Vxreg, BadCommandLinesAreSyntaxErrors) {
    const Args cases[] = {
        {},
        {"frob", "HKCU\\Software"},
        {"query"},
        {"query", "HKCU\\Software", "extra"},
        {"query", "HKCU\\Software", "/z"},
        {"query", "HKCU\\Software", "/s", "/S"},
        {"query", "HKCU\\Software", "/f"},
        {"add", "HKCU\\Software\\X", "/v"},
        {"add", "HKCU\\Software\\X", "/v", "a", "/ve"},
        {"delete", "HKCU\\Software\\X", "/d", "x"},
        {"export", "HKCU\\Software"},
        {"export", "HKCU\\Software", "a.reg", "b.reg"},
    };
    for (const auto& args : cases) {
        std::string line;
        for (const auto& a : args) line += a + " ";
        SCOPED_TRACE(line);
        auto r = Run(args);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_TRUE(r.err.starts_with("ERROR: Invalid syntax.")) << r.err;
        EXPECT_NE(r.err.find("vxreg query KEY"), std::string::npos) << "usage follows the error";
    }
    EXPECT_FALSE(std::filesystem::exists(m_Hive));
}

TEST_F(Vxreg, OnlyTheCurrentUsersHiveIsServed) {
    for (const char* key : {"HKLM\\Software\\X", "HKEY_LOCAL_MACHINE\\Software", "Software\\X", "\\\\host\\HKCU\\X",
                            "HKCUX\\Software"}) {
        SCOPED_TRACE(key);
        auto r = Run({"add", key, "/v", "a", "/d", "b"});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_TRUE(r.err.starts_with("ERROR: Invalid key name.")) << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(m_Hive));
}

TEST_F(Vxreg, HelpPrintsTheUsage) {
    for (const Args& args : {Args{"/?"}, Args{"query", "/?"}}) {
        auto r = Run(args);
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_NE(r.out.find("vxreg export KEY FILE"), std::string::npos);
        EXPECT_NE(r.out.find("VXREG_HKCU"), std::string::npos);
    }
}

TEST_F(Vxreg, DwordDataIsDecimalOrHexAndMustFit) {
    struct Case {
        std::string data;
        int exitCode;
        std::string shown;
    } cases[] = {
        {"10", 0, "0xa"}, {"0x1F", 0, "0x1f"}, {"4294967295", 0, "0xffffffff"}, {"0", 0, "0x0"},
        {"4294967296", 1, ""}, {"-1", 1, ""}, {"abc", 1, ""}, {"", 1, ""}, {"0x", 1, ""}, {"12abc", 1, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.data);
        auto r = Run({"add", "HKCU\\Software\\N", "/v", "n", "/t", "REG_DWORD", "/d", c.data, "/f"});
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        if (c.exitCode != 0) {
            EXPECT_TRUE(r.err.starts_with("ERROR: Invalid data")) << r.err;
            continue;
        }
        r = Run({"query", "HKCU\\Software\\N", "/v", "N"});
        EXPECT_EQ(r.out, "\nHKEY_CURRENT_USER\\Software\\N\n    n    REG_DWORD    " + c.shown + "\n\n");
    }
    auto r = Run({"add", "HKCU\\Software\\N", "/v", "b", "/t", "REG_BINARY", "/d", "00"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(OpenHive().ReadValue("Software\\N", "b"));
}

TEST_F(Vxreg, DefaultValueShowsAsDefault) {
    Ok({"add", "HKCU\\Software\\D", "/ve", "/d", "dflt"});
    Ok({"add", "HKCU\\Software\\D", "/t", "REG_DWORD", "/d", "3", "/f"});  // no /v: the default value too
    auto r = Run({"query", "HKCU\\Software\\D", "/VE"});
    EXPECT_EQ(r.out, "\nHKEY_CURRENT_USER\\Software\\D\n    (Default)    REG_DWORD    0x3\n\n");
}

TEST_F(Vxreg, OverwritingAValueAsksUnlessForced) {
    Ok({"add", "HKCU\\Software\\O", "/v", "v", "/d", "old"});
    struct Case {
        Args extra;
        std::string answer;
        int exitCode;
        std::string data;
    } cases[] = {
        {{}, "", 1, "old"}, {{}, "n\n", 1, "old"}, {{}, "yes\n", 0, "new3"}, {{"/F"}, "", 0, "new4"},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        Args args{"add", "HKCU\\Software\\O", "/v", "V", "/d", "new" + std::to_string(++n)};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        auto r = Run(args, c.answer);
        EXPECT_EQ(r.exitCode, c.exitCode);
        if (c.extra.empty()) {
            EXPECT_TRUE(r.out.starts_with("Value V exists, overwrite(Yes/No)?")) << r.out;
        }
        if (c.exitCode) {
            EXPECT_EQ(r.err, "The operation was canceled by the user.\n");
        }
        EXPECT_EQ(OpenHive().ReadString("Software\\O", "v"), c.data);
    }
}

TEST_F(Vxreg, DeleteAsksForConfirmationUnlessForced) {
    struct Case {
        std::string answer;
        Args extra;
        bool deleted;
    } cases[] = {
        {"", {}, false}, {"n\n", {}, false}, {"maybe\n", {}, false}, {"no\n", {}, false},
        {"y\n", {}, true}, {"YES\n", {}, true}, {" Yes \n", {}, true}, {"", {"/f"}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        AddInstallation();
        Args args{"delete", "HKCU\\Software\\corvane\\ORLADESK"};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        auto r = Run(args, c.answer);
        EXPECT_EQ(r.exitCode, c.deleted ? 0 : 1);
        if (c.extra.empty()) {
            EXPECT_TRUE(r.out.starts_with(
                "Permanently delete the registry key HKEY_CURRENT_USER\\Software\\Corvane\\OrlaDesk? (Yes/No)"))
                << r.out;
        }
        EXPECT_EQ(r.out.ends_with(kDone), c.deleted);
        auto hive = OpenHive();
        EXPECT_EQ(hive.KeyExists("Software\\Corvane\\OrlaDesk\\1.0\\Preferences"), !c.deleted);
        EXPECT_TRUE(hive.KeyExists("Software\\Corvane"));
    }
}

TEST_F(Vxreg, DeleteValuesKeepsTheKey) {
    AddInstallation();
    Ok({"delete", "HKCU\\Software\\Corvane\\OrlaDesk\\1.0", "/v", "DIR"}, "y\n");
    auto hive = OpenHive();
    EXPECT_FALSE(hive.ReadValue("Software\\Corvane\\OrlaDesk\\1.0", "Dir"));
    EXPECT_TRUE(hive.ReadValue("Software\\Corvane\\OrlaDesk\\1.0", "NoModify"));
    Ok({"delete", "HKCU\\Software\\Corvane\\OrlaDesk\\1.0", "/va", "/f"});
    EXPECT_TRUE(hive.Values("Software\\Corvane\\OrlaDesk\\1.0").empty());
    EXPECT_EQ(hive.SubKeyNames("Software\\Corvane\\OrlaDesk\\1.0").size(), 2u);
    auto r = Run({"delete", "HKCU", "/f"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(hive.KeyExists("Software"));
}

TEST_F(Vxreg, ExportWritesARegFile) {
    AddInstallation();
    Ok({"add", "HKCU\\Software\\Corvane\\OrlaDesk\\1.0\\Default", "/v", "Say \"hi\"", "/d", "C:\\x \"q\""});
    Ok({"add", "HKCU\\Software\\Corvane\\OrlaDesk\\1.0\\Default", "/ve", "/d", "first"});
    Ok({"add", "HKCU\\Software\\Corvane\\OrlaDesk\\1.0\\Default", "/v", "Lines", "/d", "a\nç"});
    auto file = m_Dir / "out dir" / "orla.reg";
    std::filesystem::create_directories(file.parent_path());
    auto r = Run({"export", "hkcu\\software\\corvane\\orladesk\\1.0", file.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, kDone);
    EXPECT_EQ(ReadFileText(file),
              "Windows Registry Editor Version 5.00\r\n"
              "\r\n"
              "[HKEY_CURRENT_USER\\Software\\Corvane\\OrlaDesk\\1.0]\r\n"
              "\"Dir\"=\"/home/ana/Orla Desk/\"\r\n"
              "\"NoModify\"=dword:0000000a\r\n"
              "\r\n"
              "[HKEY_CURRENT_USER\\Software\\Corvane\\OrlaDesk\\1.0\\Preferences]\r\n"
              "\"Language\"=\"2\"\r\n"
              "\r\n"
              "[HKEY_CURRENT_USER\\Software\\Corvane\\OrlaDesk\\1.0\\Default]\r\n"
              "@=\"first\"\r\n"
              "\"Say \\\"hi\\\"\"=\"C:\\\\x \\\"q\\\"\"\r\n"
              "\"Lines\"=hex(1):61,00,0a,00,e7,00,00,00\r\n"
              "\r\n");
}

TEST_F(Vxreg, ExportAsksBeforeReplacingAFile) {
    AddInstallation();
    auto file = m_Dir / "old.reg";
    WriteFileText(file, "keep me");
    auto r = Run({"export", "HKCU\\Software", file.string()}, "n\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.starts_with("File " + file.string() + " already exists. Overwrite (Yes/No)?")) << r.out;
    EXPECT_EQ(ReadFileText(file), "keep me");
    Ok({"export", "HKCU\\Software", file.string(), "/y"});
    EXPECT_TRUE(ReadFileText(file).starts_with("Windows Registry Editor Version 5.00\r\n"));
    r = Run({"export", "HKCU\\Software", (m_Dir / "no such dir" / "a.reg").string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.starts_with("ERROR: Cannot write")) << r.err;
}

TEST_F(Vxreg, DamagedHiveFileIsReportedNotTreatedAsEmpty) {
    WriteFileText(m_Hive, std::string(4096, 'z'));
    for (const Args& args : {Args{"query", "HKCU\\Software"}, Args{"add", "HKCU\\Software\\X", "/v", "a", "/d", "b"}}) {
        auto r = Run(args);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_TRUE(r.err.starts_with("ERROR: registry hive")) << r.err;
    }
    EXPECT_EQ(ReadFileText(m_Hive), std::string(4096, 'z'));
}

TEST_F(Vxreg, ProcessesWritingAtOnceLoseNothing) {
    const int kProcesses = 6;
    std::vector<std::thread> threads;
    std::vector<ProcessResult> results(kProcesses);
    for (int i = 0; i < kProcesses; ++i)
        threads.emplace_back([&, i] {
            results[i] = Run({"add", "HKCU\\Software\\Par\\K" + std::to_string(i), "/v", "n", "/t", "REG_DWORD", "/d",
                              std::to_string(i)});
        });
    for (auto& t : threads) t.join();
    for (int i = 0; i < kProcesses; ++i) EXPECT_EQ(results[i].exitCode, 0) << results[i].err;
    auto hive = OpenHive();
    EXPECT_EQ(hive.SubKeyNames("Software\\Par").size(), static_cast<size_t>(kProcesses));
    for (int i = 0; i < kProcesses; ++i)
        EXPECT_EQ(hive.ReadValue("Software\\Par\\K" + std::to_string(i), "n")->nData, static_cast<uint32_t>(i));
}

}  // namespace

#include <sys/stat.h>

#include <cstdlib>
#include <functional>
#include <optional>
#include <thread>

#include <gtest/gtest.h>

#include "platform/Hives.h"
#include "platform/RegistryHiveSqlite.h"
#include "support/TempDir.h"

namespace {

using TRoot = TRegistryHiveSqlite::TRoot;
using Names = std::vector<std::string>;

class RegistryHive : public ::testing::Test {
protected:
    TempDir m_Dir{"vxhive"};
    std::filesystem::path m_File = m_Dir / "sub/dir/HKCU.sqlite";
    TRegistryHiveSqlite m_Hive{m_File, false};

    Names ValueNames(const IRegistryHive& hive, const std::string& key) {
        Names names;
        for (const auto& v : hive.Values(key)) names.push_back(v.strName);
        return names;
    }
};

// Restores an environment variable when the test ends.
class TEnvOverride {
public:
    TEnvOverride(const char* name, const char* value) : m_strName(name) {
        if (const char* old = std::getenv(name)) m_Old = old;
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~TEnvOverride() { m_Old ? setenv(m_strName.c_str(), m_Old->c_str(), 1) : unsetenv(m_strName.c_str()); }

private:
    std::string m_strName;
    std::optional<std::string> m_Old;
};

TEST_F(RegistryHive, WritesReadBackWithTheirTypes) {
    m_Hive.WriteString("Software\\Corvane\\OrlaDesk\\1.0", "Dir", "/home/u/Orla Desk/");
    m_Hive.WriteDword("Software\\Corvane\\OrlaDesk\\1.0", "NoModify", 0xFFFFFFFFu);
    m_Hive.WriteString("Software\\Corvane\\OrlaDesk\\1.0", "", "default");
    m_Hive.WriteString("Software\\Corvane\\OrlaDesk\\1.0", "Empty", "");
    m_Hive.WriteString("Software\\Corvane\\OrlaDesk\\1.0", "Text", std::string("Versão\0x\r\n", 11));

    auto dir = m_Hive.ReadValue("Software\\Corvane\\OrlaDesk\\1.0", "Dir");
    ASSERT_TRUE(dir);
    EXPECT_EQ(dir->nType, TRegValue::rtString);
    EXPECT_EQ(dir->strData, "/home/u/Orla Desk/");
    auto dw = m_Hive.ReadValue("Software\\Corvane\\OrlaDesk\\1.0", "NoModify");
    ASSERT_TRUE(dw);
    EXPECT_EQ(dw->nType, TRegValue::rtDword);
    EXPECT_EQ(dw->nData, 0xFFFFFFFFu);
    EXPECT_EQ(m_Hive.ReadString("Software\\Corvane\\OrlaDesk\\1.0", "NoModify"), std::nullopt);
    EXPECT_EQ(m_Hive.ReadString("Software\\Corvane\\OrlaDesk\\1.0", ""), "default");
    EXPECT_EQ(m_Hive.ReadString("Software\\Corvane\\OrlaDesk\\1.0", "Empty"), "");
    EXPECT_EQ(m_Hive.ReadString("Software\\Corvane\\OrlaDesk\\1.0", "Text"), std::string("Versão\0x\r\n", 11));
    // Writing a value created its missing parents.
    EXPECT_TRUE(m_Hive.KeyExists("Software\\Corvane"));
    EXPECT_EQ(m_Hive.SubKeyNames("Software\\Corvane"), Names{"OrlaDesk"});
}

TEST_F(RegistryHive, BatchIsWrittenWhollyOrNotAtAll) {
    const std::string key = "Software\\Corvane\\OrlaDesk\\1.0";
    const std::string uninstall = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\OrlaDesk";
    m_Hive.WriteString(key, "Kept", "before");
    std::vector<TRegWrite> batch{{key, {"Dir", TRegValue::rtString, "/home/u/", 0}},
                                 {uninstall, {"NoModify", TRegValue::rtDword, "", 1}},
                                 {key, {"Kept", TRegValue::rtString, "after", 0}},
                                 {uninstall, {"Broken", static_cast<TRegValue::TType>(9), "", 0}}};

    EXPECT_THROW(m_Hive.WriteValues(batch), std::invalid_argument);
    TRegistryHiveSqlite other{m_File, true};
    for (const IRegistryHive* hive : std::initializer_list<const IRegistryHive*>{&m_Hive, &other}) {
        EXPECT_EQ(hive->ReadString(key, "Dir"), std::nullopt);
        EXPECT_FALSE(hive->KeyExists(uninstall));
        EXPECT_EQ(hive->ReadString(key, "Kept"), "before");
    }

    batch.pop_back();
    m_Hive.WriteValues(batch);
    EXPECT_EQ(other.ReadString(key, "Dir"), "/home/u/");
    EXPECT_EQ(other.ReadValue(uninstall, "NoModify")->nData, 1u);
    EXPECT_EQ(ValueNames(other, key), (Names{"Kept", "Dir"}));
    EXPECT_EQ(other.ReadString(key, "Kept"), "after");
}

TEST_F(RegistryHive, OverwriteChangesDataAndTypeInPlace) {
    m_Hive.WriteString("K", "a", "1");
    m_Hive.WriteString("K", "b", "2");
    m_Hive.WriteDword("K", "A", 7);
    auto a = m_Hive.ReadValue("K", "a");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->strName, "a");
    EXPECT_EQ(a->nType, TRegValue::rtDword);
    EXPECT_EQ(a->nData, 7u);
    EXPECT_EQ(ValueNames(m_Hive, "K"), (Names{"a", "b"}));
}

TEST_F(RegistryHive, EveryKeyPathSpellingReachesTheSameKey) {
    m_Hive.WriteString("Software\\Corvane\\X", "v", "here");
    for (const char* spelling :
         {"Software\\Corvane\\X", "\\Software\\Corvane\\X\\", "HKCU\\Software\\Corvane\\X",
          "HKEY_CURRENT_USER\\Software\\Corvane\\X", "hkey_current_user\\software\\corvane\\x",
          "\\\\Software\\\\\\Corvane\\\\X\\\\", "SOFTWARE\\CORVANE\\X"}) {
        SCOPED_TRACE(spelling);
        EXPECT_TRUE(m_Hive.KeyExists(spelling));
        EXPECT_EQ(m_Hive.ReadString(spelling, "V"), "here");
    }
    // The other hive's prefix is an ordinary key name here.
    EXPECT_FALSE(m_Hive.KeyExists("HKLM\\Software\\Corvane\\X"));
    for (const char* root : {"", "\\", "HKCU", "HKCU\\", "HKEY_CURRENT_USER"}) {
        SCOPED_TRACE(root);
        EXPECT_TRUE(m_Hive.KeyExists(root));
        EXPECT_EQ(m_Hive.SubKeyNames(root), Names{"Software"});
    }
}

TEST(RegistryHiveKeyPath, SplitsAndStripsTheRootOfItsOwnHive) {
    struct Case {
        std::string key;
        TRoot root;
        Names parts;
    } cases[] = {
        {"Software\\A", TRoot::hrCurrentUser, {"Software", "A"}},
        {"\\HKCU\\\\A\\", TRoot::hrCurrentUser, {"A"}},
        {"HKLM\\A", TRoot::hrCurrentUser, {"HKLM", "A"}},
        {"HKLM\\A", TRoot::hrLocalMachine, {"A"}},
        {"HKEY_LOCAL_MACHINE\\Software\\Wine", TRoot::hrLocalMachine, {"Software", "Wine"}},
        {"HKCU\\A", TRoot::hrLocalMachine, {"HKCU", "A"}},
        {"A\\HKCU", TRoot::hrCurrentUser, {"A", "HKCU"}},
        {"", TRoot::hrCurrentUser, {}},
        {"\\\\\\", TRoot::hrCurrentUser, {}},
        {"a/b\\c d", TRoot::hrCurrentUser, {"a/b", "c d"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(TRegistryHiveSqlite::SplitKeyPath(c.key, c.root), c.parts);
    }
}

TEST_F(RegistryHive, NamesIgnoreCaseButKeepTheirFirstSpelling) {
    m_Hive.CreateKey("Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders");
    m_Hive.CreateKey("SOFTWARE\\Microsoft\\WINDOWS");
    m_Hive.WriteString("software\\microsoft\\windows\\currentversion\\explorer\\shell folders", "Desktop", "/d");
    m_Hive.WriteString("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "DESKTOP", "/e");
    EXPECT_EQ(m_Hive.SubKeyNames("software"), Names{"MicroSoft"});
    EXPECT_EQ(m_Hive.SubKeyNames("software\\microsoft"), Names{"Windows"});
    EXPECT_EQ(ValueNames(m_Hive, "Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"),
              Names{"Desktop"});
    EXPECT_EQ(m_Hive.ReadString("SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\EXPLORER\\SHELL FOLDERS", "desktop"),
              "/e");
    // Letters outside ASCII are compared as they are.
    m_Hive.CreateKey("Ärger");
    m_Hive.CreateKey("ärger");
    EXPECT_EQ(m_Hive.SubKeyNames(""), (Names{"Software", "Ärger", "ärger"}));
}

TEST_F(RegistryHive, EnumerationFollowsCreationOrder) {
    for (const char* name : {"OrlaDesk_b", "OrlaDesk", "Other", "OrlaDesk_a"}) m_Hive.CreateKey(std::string("C\\") + name);
    m_Hive.WriteString("C\\OrlaDesk", "z", "");
    m_Hive.WriteDword("C\\OrlaDesk", "a", 1);
    m_Hive.WriteString("C\\OrlaDesk", "m", "");
    m_Hive.WriteString("C\\OrlaDesk", "Z", "again");
    EXPECT_EQ(m_Hive.SubKeyNames("C"), (Names{"OrlaDesk_b", "OrlaDesk", "Other", "OrlaDesk_a"}));
    EXPECT_EQ(ValueNames(m_Hive, "C\\OrlaDesk"), (Names{"z", "a", "m"}));
    // A deleted and re-created name goes to the end.
    ASSERT_TRUE(m_Hive.DeleteKey("C\\OrlaDesk_b"));
    m_Hive.CreateKey("C\\OrlaDesk_B");
    ASSERT_TRUE(m_Hive.DeleteValue("C\\OrlaDesk", "Z"));
    m_Hive.WriteString("C\\OrlaDesk", "z", "");
    EXPECT_EQ(m_Hive.SubKeyNames("C"), (Names{"OrlaDesk", "Other", "OrlaDesk_a", "OrlaDesk_B"}));
    EXPECT_EQ(ValueNames(m_Hive, "C\\OrlaDesk"), (Names{"a", "m", "z"}));
}

TEST_F(RegistryHive, MissingKeysAndValuesReadAsAbsent) {
    m_Hive.WriteString("A\\B", "v", "x");
    struct Case {
        const char* key;
        const char* value;
    } cases[] = {{"A\\C", "v"}, {"A\\B\\C", "v"}, {"Z", "v"}, {"A\\B", "w"}, {"A", "v"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.key) + " / " + c.value);
        EXPECT_EQ(m_Hive.ReadValue(c.key, c.value), std::nullopt);
        EXPECT_FALSE(m_Hive.DeleteValue(c.key, c.value));
    }
    EXPECT_FALSE(m_Hive.KeyExists("A\\C"));
    EXPECT_TRUE(m_Hive.SubKeyNames("A\\C").empty());
    EXPECT_TRUE(m_Hive.Values("A\\C").empty());
    EXPECT_FALSE(m_Hive.DeleteKey("A\\C"));
    EXPECT_FALSE(m_Hive.KeyExists("A\\B\\v"));  // a value is not a key
}

TEST_F(RegistryHive, DeletingAKeyTakesItsSubtreeOnly) {
    m_Hive.WriteString("S\\Corvane\\OrlaDesk\\1.0", "Dir", "/a");
    m_Hive.WriteString("S\\Corvane\\OrlaDesk\\1.0\\Preferences", "Language", "1");
    m_Hive.WriteString("S\\Corvane\\OrlaDesk_a\\1.0", "Dir", "/b");
    m_Hive.WriteString("S\\Corvane", "kept", "yes");
    EXPECT_TRUE(m_Hive.DeleteKey("s\\corvane\\orladesk"));
    EXPECT_FALSE(m_Hive.KeyExists("S\\Corvane\\OrlaDesk\\1.0\\Preferences"));
    EXPECT_EQ(m_Hive.SubKeyNames("S\\Corvane"), Names{"OrlaDesk_a"});
    EXPECT_EQ(m_Hive.ReadString("S\\Corvane\\OrlaDesk_a\\1.0", "Dir"), "/b");
    EXPECT_EQ(m_Hive.ReadString("S\\Corvane", "kept"), "yes");
    // Re-creating the key does not bring back old values.
    m_Hive.CreateKey("S\\Corvane\\OrlaDesk\\1.0");
    EXPECT_TRUE(m_Hive.Values("S\\Corvane\\OrlaDesk\\1.0").empty());
    EXPECT_TRUE(m_Hive.SubKeyNames("S\\Corvane\\OrlaDesk\\1.0").empty());
    EXPECT_THROW(m_Hive.DeleteKey("HKCU\\"), std::runtime_error);
    EXPECT_TRUE(m_Hive.KeyExists("S"));
}

TEST_F(RegistryHive, ReadsDoNotCreateTheFileAndTheFirstWriteMakesAPrivateFolder) {
    EXPECT_FALSE(m_Hive.KeyExists("A"));
    EXPECT_TRUE(m_Hive.SubKeyNames("").empty());
    EXPECT_FALSE(m_Hive.DeleteKey("A"));
    EXPECT_FALSE(std::filesystem::exists(m_File.parent_path()));
    m_Hive.CreateKey("A");
    ASSERT_TRUE(std::filesystem::exists(m_File));
    for (auto folder : {m_File.parent_path(), m_File.parent_path().parent_path()}) {
        struct stat st {};
        ASSERT_EQ(stat(folder.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u) << folder;
    }
}

TEST_F(RegistryHive, TwoHiveObjectsOnOneFileSeeEachOthersWrites) {
    TRegistryHiveSqlite other(m_File, false);
    m_Hive.WriteString("K", "a", "1");
    EXPECT_EQ(other.ReadString("k", "A"), "1");
    other.WriteDword("K\\Sub", "n", 5);
    other.WriteString("K", "a", "2");
    EXPECT_EQ(m_Hive.SubKeyNames("K"), Names{"Sub"});
    EXPECT_EQ(m_Hive.ReadString("K", "a"), "2");
    EXPECT_TRUE(m_Hive.DeleteKey("K\\Sub"));
    EXPECT_FALSE(other.KeyExists("K\\Sub"));
}

TEST_F(RegistryHive, ReadOnlyHiveRefusesEveryWriteAndLeavesTheFileAlone) {
    TRegistryHiveSqlite machine(m_File, true, TRoot::hrLocalMachine);
    const std::vector<std::pair<const char*, std::function<void()>>> writes = {
        {"CreateKey", [&] { machine.CreateKey("A"); }},
        {"WriteString", [&] { machine.WriteString("A", "v", "x"); }},
        {"WriteDword", [&] { machine.WriteDword("A", "v", 1); }},
        {"DeleteKey", [&] { machine.DeleteKey("A"); }},
        {"DeleteValue", [&] { machine.DeleteValue("A", "v"); }},
    };
    // Missing file: an empty hive, and no file appears.
    EXPECT_FALSE(machine.KeyExists("Software"));
    EXPECT_TRUE(machine.SubKeyNames("").empty());
    for (const auto& [name, write] : writes) {
        SCOPED_TRACE(name);
        EXPECT_THROW(write(), std::runtime_error);
    }
    EXPECT_FALSE(std::filesystem::exists(m_File));

    // Once another writer creates it, the same object reads it.
    m_Hive.WriteString("Software\\Microsoft\\Windows NT\\CurrentVersion", "RegisteredOwner", "Ana");
    m_Hive.WriteString("A", "v", "x");
    EXPECT_EQ(machine.ReadString("HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion", "RegisteredOwner"), "Ana");
    EXPECT_EQ(machine.ReadString("HKEY_LOCAL_MACHINE\\A", "v"), "x");
    for (const auto& [name, write] : writes) {
        SCOPED_TRACE(name);
        EXPECT_THROW(write(), std::runtime_error);
    }
    EXPECT_EQ(m_Hive.ReadString("A", "v"), "x");
}

TEST_F(RegistryHive, ReadOnlyHiveOnAnEmptyFileIsEmpty) {
    std::filesystem::create_directories(m_File.parent_path());
    WriteFileText(m_File, "");
    TRegistryHiveSqlite machine(m_File, true, TRoot::hrLocalMachine);
    EXPECT_FALSE(machine.KeyExists("Software"));
    EXPECT_TRUE(machine.Values("").empty());
}

TEST_F(RegistryHive, DamagedFileIsAFailureNotAnEmptyHive) {
    std::filesystem::create_directories(m_File.parent_path());
    WriteFileText(m_File, std::string(4096, 'x'));
    TRegistryHiveSqlite hive(m_File, false);
    EXPECT_THROW(hive.KeyExists("A"), std::runtime_error);
    EXPECT_THROW(hive.WriteString("A", "v", "x"), std::runtime_error);
    TRegistryHiveSqlite machine(m_File, true);
    EXPECT_THROW(machine.SubKeyNames(""), std::runtime_error);
}

TEST_F(RegistryHive, ConcurrentWritersLoseNothing) {
    // Half the threads share one object (one connection), the others each have
    // their own, so both the mutex and the file locks are exercised.
    const int kThreads = 4, kWrites = 10;
    std::vector<std::thread> threads;
    std::vector<std::string> failures(kThreads);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            try {
                std::optional<TRegistryHiveSqlite> own;
                IRegistryHive* hive = &m_Hive;
                if (t % 2) hive = &own.emplace(m_File, false);
                for (int i = 0; i < kWrites; ++i) {
                    std::string key = "Software\\T" + std::to_string(t);
                    hive->WriteDword(key, "v" + std::to_string(i), static_cast<uint32_t>(t * 1000 + i));
                    hive->WriteString("Software\\Shared", "last", key);
                    hive->CreateKey("Software\\Shared\\K" + std::to_string(i));
                }
            } catch (const std::exception& e) {
                failures[t] = e.what();
            }
        });
    }
    for (auto& th : threads) th.join();
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(failures[t], "") << "thread " << t;
    TRegistryHiveSqlite fresh(m_File, true);
    EXPECT_EQ(fresh.SubKeyNames("Software").size(), static_cast<size_t>(kThreads + 1));
    EXPECT_EQ(fresh.SubKeyNames("Software\\Shared").size(), static_cast<size_t>(kWrites));
    for (int t = 0; t < kThreads; ++t) {
        auto values = fresh.Values("Software\\T" + std::to_string(t));
        ASSERT_EQ(values.size(), static_cast<size_t>(kWrites)) << "thread " << t;
        for (int i = 0; i < kWrites; ++i) EXPECT_EQ(values[i].nData, static_cast<uint32_t>(t * 1000 + i));
    }
}

TEST(RegistryHivePaths, EnvironmentChoosesTheFiles) {
    struct Case {
        const char *hkcu, *xdg, *home, *hklm;
        std::string userPath, machinePath;
    } cases[] = {
        {"/x/u.sqlite", "/cfg", "/home/a", "/x/m.sqlite", "/x/u.sqlite", "/x/m.sqlite"},
        {nullptr, "/cfg", "/home/a", nullptr, "/cfg/vxreg/HKCU.sqlite", "/etc/vxreg/HKLM.sqlite"},
        {"", "", "/home/a", "", "/home/a/.config/vxreg/HKCU.sqlite", "/etc/vxreg/HKLM.sqlite"},
        {nullptr, "relative/cfg", "/home/a", nullptr, "/home/a/.config/vxreg/HKCU.sqlite", "/etc/vxreg/HKLM.sqlite"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.userPath);
        TEnvOverride hkcu("VXREG_HKCU", c.hkcu), xdg("XDG_CONFIG_HOME", c.xdg), home("HOME", c.home),
            hklm("VXREG_HKLM", c.hklm);
        EXPECT_EQ(CurrentUserHivePath(), c.userPath);
        EXPECT_EQ(LocalMachineHivePath(), c.machinePath);
    }
}

TEST(RegistryHivePaths, OpenedHivesUseThoseFiles) {
    TempDir dir;
    TEnvOverride hkcu("VXREG_HKCU", (dir / "u.sqlite").c_str()), hklm("VXREG_HKLM", (dir / "u.sqlite").c_str());
    auto user = OpenCurrentUserHive();
    auto machine = OpenLocalMachineHive();
    user->WriteString("HKCU\\Software\\Wine", "v", "1");
    EXPECT_TRUE(std::filesystem::exists(dir / "u.sqlite"));
    EXPECT_EQ(machine->ReadString("HKLM\\Software\\Wine", "v"), "1");
    EXPECT_THROW(machine->CreateKey("Software\\X"), std::runtime_error);
}

}  // namespace

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/Registration.h"
#include "platform/Folders.h"
#include "platform/RegistryHiveSqlite.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

// A value as the tests compare it: name, type and data in one text.
std::string Describe(const TRegValue& v) {
    return v.strName + (v.nType == TRegValue::rtDword ? ":dword=" + std::to_string(v.nData) : ":sz=" + v.strData);
}

class RegistrationFixture : public testing::Test {
protected:
    LogCapture m_Log;
    TempDir m_Root{"vxreg"};
    TRegistryHiveSqlite m_Hive{m_Root / "HKCU.sqlite", false};
    TRegistration m_Registration{m_Hive};
    fs::path m_Desktop = m_Root / "desktop";
    fs::path m_Programs = m_Root / "programs";

    void SetUp() override {
        fs::create_directories(m_Desktop);
        fs::create_directories(m_Programs);
        m_Hive.WriteString(kShellFoldersKey, "Desktop", m_Desktop.string());
        m_Hive.WriteString(kShellFoldersKey, "Programs", m_Programs.string());
    }

    TRegistrationRequest Request(const std::string& name, bool bNewInstall, uint8_t language = lngPortuguese) {
        TRegistrationRequest request;
        request.bNewInstall = bNewInstall;
        request.strInstallName = name;
        request.strRegFolderName = name.empty() ? "OrlaDesk" : "OrlaDesk_" + name;
        request.strInstallPath = (m_Root / "Corvane" / request.strRegFolderName).string() + "/";
        request.nLanguage = language;
        fs::create_directories(request.strInstallPath);
        return request;
    }

    std::vector<std::string> Values(const std::string& key) {
        std::vector<std::string> lines;
        for (const auto& v : m_Hive.Values(key)) lines.push_back(Describe(v));
        return lines;
    }
};

TEST_F(RegistrationFixture, NewInstallationWritesApplicationKeysAndTheUninstallEntryInOrder) {
    const TRegistrationRequest request = Request("a", true, lngEnglish);
    // 10,240 bytes in the tree, and an executable without a version resource.
    WriteFileText(request.strInstallPath + "vantixchart.exe", std::string(4096, 'x'));
    WriteFileText(request.strInstallPath + "database/prices.dat", std::string(6144, 'y'));

    m_Registration.WriteRegistry(request);

    const std::string path = request.strInstallPath;
    EXPECT_EQ(Values("Software\\Corvane\\OrlaDesk_a\\1.0"), std::vector<std::string>{"Dir:sz=" + path});
    EXPECT_EQ(Values("Software\\Corvane\\OrlaDesk_a\\1.0\\Default"), std::vector<std::string>{"IsDarkTheme:sz=1"});
    EXPECT_EQ(Values("Software\\Corvane\\OrlaDesk_a\\1.0\\Preferences"), std::vector<std::string>{"Language:sz=1"});
    EXPECT_EQ(Values("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\OrlaDesk_a"),
              (std::vector<std::string>{
                  "DisplayName:sz=Orla Desk (a)",
                  "DisplayIcon:sz=" + path + "vantixchart.exe",
                  "DisplayVersion:sz=65535.65535",
                  "InstallLocation:sz=" + path,
                  "Publisher:sz=Corvane",
                  "NoModify:dword=1",
                  "NoRepair:dword=1",
                  "EstimatedSize:dword=10",
                  "Language:dword=1046",
                  "Version:sz=65535.65535",
                  "UninstallString:sz=\"" + path + "Desinstalar.exe\"",
              }));
    EXPECT_EQ(m_Log.Matching("WriteRegistry"), std::vector<std::string>{"WriteRegistry"});
}

TEST_F(RegistrationFixture, LanguagePreferenceFollowsTheRunsLanguage) {
    const std::vector<std::pair<uint8_t, std::string>> cases{{0, "0"}, {1, "1"}, {2, "2"}, {7, "0"}};
    for (const auto& [language, expected] : cases) {
        m_Registration.WriteRegistry(Request("x", true, language));
        EXPECT_EQ(m_Hive.ReadString("Software\\Corvane\\OrlaDesk_x\\1.0\\Preferences", "Language"), expected)
            << "language " << int(language);
    }
}

TEST_F(RegistrationFixture, RepairWritesOnlyTheUninstallEntry) {
    const TRegistrationRequest request = Request("", false);
    m_Hive.WriteString("Software\\Corvane\\OrlaDesk\\1.0", "Dir", "kept by the user");
    m_Hive.WriteString("Software\\Corvane\\OrlaDesk\\1.0\\Preferences", "Language", "2");
    WriteFileText(request.strInstallPath + "a.bin", std::string(1023, 'z'));

    m_Registration.WriteRegistry(request);

    EXPECT_EQ(Values("Software\\Corvane\\OrlaDesk\\1.0"), std::vector<std::string>{"Dir:sz=kept by the user"});
    EXPECT_EQ(Values("Software\\Corvane\\OrlaDesk\\1.0\\Preferences"), std::vector<std::string>{"Language:sz=2"});
    EXPECT_FALSE(m_Hive.KeyExists("Software\\Corvane\\OrlaDesk\\1.0\\Default"));
    const std::string uninstall = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\OrlaDesk";
    EXPECT_EQ(m_Hive.ReadString(uninstall, "DisplayName"), "Orla Desk");
    EXPECT_EQ(m_Hive.ReadValue(uninstall, "EstimatedSize")->nData, 0u);  // 1,023 bytes
}

TEST(RegistrationNames, UnnamedAndNamedInstallations) {
    struct TCase {
        std::string strName, strDisplay, strShortcut;
    };
    for (const TCase& c : std::vector<TCase>{{"", "Orla Desk", "Orla Desk.lnk"},
                                             {"OrlaDesk", "Orla Desk", "Orla Desk.lnk"},
                                             {"a", "Orla Desk (a)", "Orla Desk (a).lnk"}}) {
        EXPECT_EQ(TRegistration::DisplayName(c.strName), c.strDisplay) << c.strName;
        EXPECT_EQ(TRegistration::ShortcutFileName(c.strName), c.strShortcut) << c.strName;
    }
    EXPECT_EQ(TRegistration::ApplicationKey("OrlaDesk_a"), "Software\\Corvane\\OrlaDesk_a\\1.0");
    EXPECT_EQ(TRegistration::UninstallKey("OrlaDesk_a"), "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\OrlaDesk_a");
}

TEST_F(RegistrationFixture, NamedInstallationGetsItsShortcutOnTheDesktopAndInTheCompanyFolder) {
    const TRegistrationRequest request = Request("a", true);
    m_Registration.CreateShortcuts(request);

    const fs::path desktopLink = m_Desktop / "Orla Desk (a).desktop";
    const fs::path programsLink = m_Programs / "Corvane" / "Orla Desk (a).desktop";
    ASSERT_TRUE(fs::exists(desktopLink));
    ASSERT_TRUE(fs::exists(programsLink));
    const std::string text = ReadFileText(desktopLink);
    EXPECT_NE(text.find("\nName=Orla Desk (a)\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nExec=" + request.strInstallPath + "vantixchart.exe\n"), std::string::npos) << text;
    EXPECT_EQ(ReadFileText(programsLink), text);
    EXPECT_EQ(m_Log.Lines(), (std::vector<std::string>{"CreateShortcuts", desktopLink.string(),
                                                        "Create Dir: " + m_Programs.string() + "/Corvane/",
                                                        programsLink.string()}));
}

TEST_F(RegistrationFixture, CompanyFolderIsCreatedOnlyOnce) {
    m_Registration.CreateShortcuts(Request("a", true));
    m_Registration.CreateShortcuts(Request("", true));
    EXPECT_EQ(m_Log.CountContaining("Create Dir: "), 1u);
    EXPECT_TRUE(fs::exists(m_Programs / "Corvane" / "Orla Desk (a).desktop"));
    EXPECT_TRUE(fs::exists(m_Programs / "Corvane" / "Orla Desk.desktop"));
    EXPECT_TRUE(fs::exists(m_Desktop / "Orla Desk.desktop"));
}

// Root writes anywhere, so the desktop is made unusable by putting a file
// where its folder should be.
TEST_F(RegistrationFixture, UnusableDesktopFolderThrowsAndMakesNoProgramsLink) {
    fs::remove_all(m_Desktop);
    WriteFileText(m_Desktop, "not a folder");
    EXPECT_ANY_THROW(m_Registration.CreateShortcuts(Request("a", true)));
    EXPECT_FALSE(fs::exists(m_Programs / "Corvane"));
}

TEST_F(RegistrationFixture, DesktopEntryThatCannotBeReplacedThrows) {
    fs::create_directories(m_Desktop / "Orla Desk (a).desktop");
    EXPECT_THROW(m_Registration.CreateShortcuts(Request("a", true)), std::runtime_error);
}

TEST_F(RegistrationFixture, HiveThatCannotBeWrittenThrows) {
    TRegistryHiveSqlite readOnly{m_Root / "HKCU.sqlite", true};
    TRegistration registration{readOnly};
    EXPECT_THROW(registration.WriteRegistry(Request("a", true)), std::runtime_error);
}

// The real hive, whose store fails on the n-th value written, whether the
// values come one by one or in one batch (where the failure rolls the batch back).
class TFailingHive : public IRegistryHive {
public:
    TFailingHive(IRegistryHive& hive, size_t nFailAt) : m_Hive(hive), m_nLeft(nFailAt) {}

    bool KeyExists(const std::string& key) const override { return m_Hive.KeyExists(key); }
    std::vector<std::string> SubKeyNames(const std::string& key) const override { return m_Hive.SubKeyNames(key); }
    std::vector<TRegValue> Values(const std::string& key) const override { return m_Hive.Values(key); }
    std::optional<TRegValue> ReadValue(const std::string& key, const std::string& name) const override {
        return m_Hive.ReadValue(key, name);
    }
    void CreateKey(const std::string& key) override { m_Hive.CreateKey(key); }
    void WriteString(const std::string& key, const std::string& name, const std::string& data) override {
        WriteValues({{key, TRegValue{name, TRegValue::rtString, data, 0}}});
    }
    void WriteDword(const std::string& key, const std::string& name, uint32_t data) override {
        WriteValues({{key, TRegValue{name, TRegValue::rtDword, "", data}}});
    }
    void WriteValues(const std::vector<TRegWrite>& writes) override {
        if (writes.size() < m_nLeft) {
            m_nLeft -= writes.size();
            return m_Hive.WriteValues(writes);
        }
        // A value the store refuses, in place of the n-th one.
        std::vector<TRegWrite> failing(writes.begin(), writes.begin() + static_cast<long>(m_nLeft));
        failing.back().value.nType = static_cast<TRegValue::TType>(0);
        m_nLeft = 0;
        m_Hive.WriteValues(failing);
    }
    bool DeleteKey(const std::string& key) override { return m_Hive.DeleteKey(key); }
    bool DeleteValue(const std::string& key, const std::string& name) override { return m_Hive.DeleteValue(key, name); }

private:
    IRegistryHive& m_Hive;
    size_t m_nLeft;
};

// Another run asks for "Dir" to know whether the installation exists: a run
// that failed (or was killed) while registering must leave no trace of it.
TEST_F(RegistrationFixture, RegistrationThatFailsOnTheWayLeavesNothingRegistered) {
    const TRegistrationRequest request = Request("a", true);
    const size_t nValues = 3 + 11;  // application keys, then the uninstall entry
    for (size_t nFailAt = 1; nFailAt <= nValues; ++nFailAt) {
        TFailingHive failing(m_Hive, nFailAt);
        TRegistration registration{failing};
        EXPECT_THROW(registration.WriteRegistry(request), std::invalid_argument) << "failing at " << nFailAt;
        EXPECT_FALSE(m_Hive.KeyExists("Software\\Corvane\\OrlaDesk_a")) << "failing at " << nFailAt;
        EXPECT_FALSE(m_Hive.KeyExists("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\OrlaDesk_a"))
            << "failing at " << nFailAt;
    }
    TFailingHive late(m_Hive, nValues + 1);
    TRegistration{late}.WriteRegistry(request);
    EXPECT_EQ(m_Hive.ReadString("Software\\Corvane\\OrlaDesk_a\\1.0", "Dir"), request.strInstallPath);
}

}  // namespace

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/Hives.h"
#include "platform/windows/WideString.h"

namespace {

using TNames = std::vector<std::string>;

TNames ValueNames(const IRegistryHive& hive, const std::string& key) {
    TNames names;
    for (const auto& value : hive.Values(key)) names.push_back(value.strName);
    return names;
}

// What Windows itself holds, read past our implementation.
struct TNativeValue {
    DWORD nType = REG_NONE;
    std::vector<BYTE> data;
};

std::optional<TNativeValue> NativeValue(const std::string& key, const std::string& name) {
    TNativeValue value;
    DWORD nSize = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, Widen(key).c_str(), Widen(name).c_str(), RRF_RT_ANY | RRF_NOEXPAND,
                     &value.nType, nullptr, &nSize) != ERROR_SUCCESS)
        return std::nullopt;
    value.data.resize(nSize);
    if (RegGetValueW(HKEY_CURRENT_USER, Widen(key).c_str(), Widen(name).c_str(), RRF_RT_ANY | RRF_NOEXPAND,
                     &value.nType, value.data.data(), &nSize) != ERROR_SUCCESS)
        return std::nullopt;
    value.data.resize(nSize);
    return value;
}

bool NativeKeyExists(HKEY root, const std::string& key) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(root, Widen(key).c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
    RegCloseKey(handle);
    return true;
}

class RegistryWindows : public testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(NativeKeyExists(HKEY_CURRENT_USER, m_strKey)) << m_strKey; }
    void TearDown() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, Widen(m_strKey).c_str());
        // Fails while another run still has its key there, which is meant.
        RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\VantixRegistryTest");
    }

    // Unique per process and test, so that parallel runs in one prefix never meet.
    const std::string m_strKey = "Software\\VantixRegistryTest\\" + std::to_string(GetCurrentProcessId()) + "-" +
                                 testing::UnitTest::GetInstance()->current_test_info()->name();
    std::unique_ptr<IRegistryHive> m_pHive = OpenCurrentUserHive();
};

TEST_F(RegistryWindows, ValuesReachTheRealRegistryAndComeBack) {
    const std::string key = m_strKey + "\\OrlaDesk\\1.0";
    m_pHive->CreateKey(key + "\\Preferences");
    EXPECT_TRUE(NativeKeyExists(HKEY_CURRENT_USER, key + "\\Preferences")) << "parents are created";

    const std::string text("Vers\xC3\xA3o \xE2\x82\xAC\0x\r\n", 15);
    m_pHive->WriteString(key, "Text", text);
    m_pHive->WriteString(key, "", "default");
    m_pHive->WriteString(key, "Empty", "");
    m_pHive->WriteDword(key, "NoModify", 0xFFFFFFFFu);

    const auto native = NativeValue(key, "Text");
    ASSERT_TRUE(native);
    EXPECT_EQ(native->nType, static_cast<DWORD>(REG_SZ));
    const std::wstring wide = Widen(text);
    ASSERT_EQ(native->data.size(), (wide.size() + 1) * sizeof(wchar_t)) << "UTF-16 with one terminator";
    EXPECT_EQ(0, memcmp(native->data.data(), wide.c_str(), native->data.size()));
    const auto nativeDword = NativeValue(key, "NoModify");
    ASSERT_TRUE(nativeDword);
    EXPECT_EQ(nativeDword->nType, static_cast<DWORD>(REG_DWORD));

    EXPECT_EQ(m_pHive->ReadString(key, "Text"), text);
    EXPECT_EQ(m_pHive->ReadString(key, ""), "default");
    EXPECT_EQ(m_pHive->ReadString(key, "Empty"), "");
    const auto dword = m_pHive->ReadValue(key, "NoModify");
    ASSERT_TRUE(dword);
    EXPECT_EQ(dword->nType, TRegValue::rtDword);
    EXPECT_EQ(dword->nData, 0xFFFFFFFFu);
    EXPECT_EQ(m_pHive->ReadString(key, "NoModify"), std::nullopt) << "a dword is no string";
    EXPECT_EQ(m_pHive->ReadValue(key, "Missing"), std::nullopt);
    EXPECT_EQ(m_pHive->ReadValue(key + "\\Missing", "Text"), std::nullopt);

    EXPECT_EQ(m_pHive->SubKeyNames(m_strKey + "\\OrlaDesk"), TNames{"1.0"});
    EXPECT_EQ(m_pHive->SubKeyNames(key), TNames{"Preferences"});
    EXPECT_TRUE(m_pHive->SubKeyNames(key + "\\Missing").empty());
    TNames names = ValueNames(*m_pHive, key);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (TNames{"", "Empty", "NoModify", "Text"}));
    EXPECT_TRUE(m_pHive->Values(key + "\\Missing").empty());
}

TEST_F(RegistryWindows, OtherTypesAreNeitherListedNorRead) {
    m_pHive->WriteString(m_strKey, "Plain", "p");
    const BYTE bytes[] = {1, 2, 3};
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, Widen(m_strKey).c_str(), L"Binary", REG_BINARY, bytes, sizeof bytes),
              ERROR_SUCCESS);
    const wchar_t expand[] = L"%TEMP%\\x";
    ASSERT_EQ(
        RegSetKeyValueW(HKEY_CURRENT_USER, Widen(m_strKey).c_str(), L"Expand", REG_EXPAND_SZ, expand, sizeof expand),
        ERROR_SUCCESS);
    EXPECT_EQ(ValueNames(*m_pHive, m_strKey), TNames{"Plain"});
    EXPECT_EQ(m_pHive->ReadValue(m_strKey, "Binary"), std::nullopt);
    EXPECT_EQ(m_pHive->ReadValue(m_strKey, "Expand"), std::nullopt);
}

TEST_F(RegistryWindows, EveryKeyPathSpellingReachesTheSameKey) {
    m_pHive->WriteString(m_strKey + "\\X", "v", "here");
    std::string upper = m_strKey;
    for (char& c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    for (const std::string& spelling :
         {m_strKey + "\\X", "\\" + m_strKey + "\\X\\", "HKCU\\" + m_strKey + "\\X",
          "hkey_current_user\\" + m_strKey + "\\x", "\\\\" + m_strKey + "\\\\\\X\\\\", upper + "\\X"}) {
        SCOPED_TRACE(spelling);
        EXPECT_TRUE(m_pHive->KeyExists(spelling));
        EXPECT_EQ(m_pHive->ReadString(spelling, "V"), "here");
    }
    // Another hive's prefix is an ordinary key name here.
    EXPECT_FALSE(m_pHive->KeyExists("HKLM\\" + m_strKey + "\\X"));
    for (const char* root : {"", "\\", "HKCU", "HKEY_CURRENT_USER\\"}) {
        SCOPED_TRACE(root);
        EXPECT_TRUE(m_pHive->KeyExists(root));
        const TNames rootKeys = m_pHive->SubKeyNames(root);
        EXPECT_NE(std::find(rootKeys.begin(), rootKeys.end(), "Software"), rootKeys.end());
    }
}

TEST_F(RegistryWindows, BatchIsWrittenInFullOrPutBack) {
    const std::string key = m_strKey + "\\OrlaDesk\\1.0";
    const std::string uninstall = m_strKey + "\\Uninstall\\OrlaDesk";
    m_pHive->WriteString(key, "Kept", "before");
    std::vector<TRegWrite> batch{TRegWrite::String(key, "Dir", "C:\\Users\\u\\"),
                                 TRegWrite::Dword(uninstall, "NoModify", 1), TRegWrite::String(key, "Kept", "after")};

    auto expectUntouched = [&] {
        EXPECT_EQ(m_pHive->ReadValue(key, "Dir"), std::nullopt);
        EXPECT_EQ(m_pHive->ReadString(key, "Kept"), "before");
        EXPECT_FALSE(NativeKeyExists(HKEY_CURRENT_USER, m_strKey + "\\Uninstall")) << "created keys are removed";
    };
    // Refused up front.
    std::vector<TRegWrite> unknownType = batch;
    unknownType.push_back({uninstall, {"Broken", static_cast<TRegValue::TType>(9), "", 0}});
    EXPECT_THROW(m_pHive->WriteValues(unknownType), std::invalid_argument);
    expectUntouched();
    // Refused by the registry after the others were written: a value name beyond
    // its limit, then a key name beyond its limit (Windows makes the parents first).
    for (const TRegWrite& failing : {TRegWrite::String(key, std::string(20000, 'n'), "x"),
                                     TRegWrite::String(m_strKey + "\\New\\" + std::string(300, 'k'), "v", "x")}) {
        std::vector<TRegWrite> failingBatch = batch;
        failingBatch.push_back(failing);
        EXPECT_THROW(m_pHive->WriteValues(failingBatch), std::runtime_error);
        expectUntouched();
        EXPECT_FALSE(NativeKeyExists(HKEY_CURRENT_USER, m_strKey + "\\New"));
    }

    m_pHive->WriteValues(batch);
    EXPECT_EQ(m_pHive->ReadString(key, "Dir"), "C:\\Users\\u\\");
    EXPECT_EQ(m_pHive->ReadString(key, "Kept"), "after");
    const auto noModify = m_pHive->ReadValue(uninstall, "NoModify");
    ASSERT_TRUE(noModify);
    EXPECT_EQ(noModify->nData, 1u);
}

TEST_F(RegistryWindows, DeletingReportsWhetherSomethingWasThere) {
    const std::string key = m_strKey + "\\OrlaDesk";
    m_pHive->WriteString(key + "\\1.0\\Preferences", "Language", "1");
    m_pHive->WriteString(key + "_a\\1.0", "Dir", "b");
    m_pHive->WriteDword(key, "v", 1);

    EXPECT_TRUE(m_pHive->DeleteValue(key, "V"));
    EXPECT_FALSE(m_pHive->DeleteValue(key, "v"));
    EXPECT_FALSE(m_pHive->DeleteValue(key + "\\Missing", "v"));
    EXPECT_TRUE(m_pHive->KeyExists(key)) << "deleting a value keeps its key";

    EXPECT_TRUE(m_pHive->DeleteKey(m_strKey + "\\orladesk"));
    EXPECT_FALSE(NativeKeyExists(HKEY_CURRENT_USER, key));
    EXPECT_EQ(m_pHive->ReadString(key + "_a\\1.0", "Dir"), "b") << "a sibling with a longer name stays";
    EXPECT_FALSE(m_pHive->DeleteKey(key));
    EXPECT_FALSE(m_pHive->DeleteKey(key + "\\Missing\\Deeper"));
    for (const char* root : {"", "HKCU\\", "\\"}) EXPECT_THROW(m_pHive->DeleteKey(root), std::runtime_error) << root;
}

TEST_F(RegistryWindows, TheMachineHiveReadsButRefusesEveryWrite) {
    const std::unique_ptr<IRegistryHive> machine = OpenLocalMachineHive();
    EXPECT_TRUE(machine->KeyExists("HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion"));
    EXPECT_TRUE(machine->ReadString("Software\\Microsoft\\Windows NT\\CurrentVersion", "ProductName").has_value());
    EXPECT_FALSE(machine->KeyExists("HKCU\\Software"));

    const std::string key = "Software\\" + m_strKey;
    EXPECT_THROW(machine->CreateKey(key), std::runtime_error);
    EXPECT_THROW(machine->WriteString(key, "s", "x"), std::runtime_error);
    EXPECT_THROW(machine->WriteDword(key, "d", 1), std::runtime_error);
    EXPECT_THROW(machine->WriteValues({TRegWrite::String(key, "s", "x")}), std::runtime_error);
    EXPECT_THROW(machine->DeleteValue("Software\\Microsoft\\Windows NT\\CurrentVersion", "ProductName"),
                 std::runtime_error);
    EXPECT_THROW(machine->DeleteKey("Software\\Microsoft\\Windows NT"), std::runtime_error);
    EXPECT_FALSE(NativeKeyExists(HKEY_LOCAL_MACHINE, key));
    EXPECT_TRUE(machine->ReadString("Software\\Microsoft\\Windows NT\\CurrentVersion", "ProductName").has_value());
}

}  // namespace

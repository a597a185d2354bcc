#include <windows.h>
// The other system headers build on windows.h.
#include <aclapi.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <stdexcept>
#include <string>

#include "platform/PrivateFolder.h"
#include "platform/windows/WideString.h"

namespace fs = std::filesystem;

namespace {

fs::path Native(const std::string& utf8) { return fs::path(Widen(utf8)); }

std::vector<fs::path> Entries(const fs::path& folder) {
    std::vector<fs::path> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

class PrivateFolderWindows : public testing::Test {
protected:
    void SetUp() override { fs::create_directories(m_Base); }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(m_Base, ec);
    }
    std::string Name(const wchar_t* leaf) const { return Narrow((m_Base / leaf).wstring()); }

    const fs::path m_Base = fs::temp_directory_path() / (L"vxprivate \u00e9-" + std::to_wstring(GetCurrentProcessId()));
};

TEST_F(PrivateFolderWindows, MakesTheNamedFolderAndRemovesItWithItsContents) {
    TPrivateFolder folder;
    EXPECT_EQ(folder.Remove(), TPrivateFolder::TRemoval::NothingMade);
    const std::string wanted = Name(L"Corvane_\u00e7");
    ASSERT_EQ(folder.Create(wanted), wanted);
    ASSERT_TRUE(fs::is_directory(Native(wanted)));
    std::ofstream(Native(wanted) / L"libssl.dll") << "x";
    fs::create_directories(Native(wanted) / L"sub");

    EXPECT_EQ(folder.Remove(), TPrivateFolder::TRemoval::Removed);
    EXPECT_FALSE(fs::exists(Native(wanted)));
    EXPECT_EQ(folder.Remove(), TPrivateFolder::TRemoval::NothingMade) << "only once";
}

TEST_F(PrivateFolderWindows, ATakenNameGetsAnUnpredictableSuffix) {
    std::ofstream(m_Base / L"file") << "theirs";
    fs::create_directories(m_Base / L"folder");
    std::ofstream(m_Base / L"folder" / L"inside") << "theirs";
    for (const wchar_t* taken : {L"file", L"folder"}) {
        SCOPED_TRACE(Narrow(taken));
        TPrivateFolder first, second;
        const std::string madeFirst = first.Create(Name(taken));
        const std::string madeSecond = second.Create(Name(taken));
        const std::regex shape(std::regex_replace(Name(taken), std::regex(R"([\\^$.|?*+()\[\]{}])"), R"(\$&)") +
                               "_[A-Za-z0-9]{6}");
        EXPECT_TRUE(std::regex_match(madeFirst, shape)) << madeFirst;
        EXPECT_TRUE(std::regex_match(madeSecond, shape)) << madeSecond;
        EXPECT_NE(madeFirst, madeSecond);
        EXPECT_TRUE(fs::is_directory(Native(madeFirst)));
        EXPECT_EQ(first.Remove(), TPrivateFolder::TRemoval::Removed);
        EXPECT_EQ(second.Remove(), TPrivateFolder::TRemoval::Removed);
    }
    EXPECT_EQ(Entries(m_Base), (std::vector<fs::path>{L"file", L"folder"})) << "what was there is untouched";
    EXPECT_TRUE(fs::exists(m_Base / L"folder" / L"inside"));
}

TEST_F(PrivateFolderWindows, AFolderThatTookTheNameIsLeftAlone) {
    TPrivateFolder folder;
    const std::string made = folder.Create(Name(L"run"));
    fs::rename(Native(made), m_Base / L"moved");
    fs::create_directories(Native(made));
    std::ofstream(Native(made) / L"theirs") << "x";

    EXPECT_EQ(folder.Remove(), TPrivateFolder::TRemoval::NoLongerOurs);
    EXPECT_TRUE(fs::exists(Native(made) / L"theirs"));
    EXPECT_TRUE(fs::is_directory(m_Base / L"moved"));
}

// Who besides SYSTEM (which, like root, reaches everything anyway) may enter
// the folder, and whether the current user has full access.
struct TAccess {
    bool bUserHasFullAccess = false;
    int nOthers = 0;
};

TAccess AccessOf(const fs::path& folder) {
    TAccess access;
    PACL pDacl = nullptr;
    PSECURITY_DESCRIPTOR pDescriptor = nullptr;
    if (GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &pDacl,
                              nullptr, &pDescriptor) != ERROR_SUCCESS) {
        ADD_FAILURE() << "no security information";
        return access;
    }
    HANDLE hToken = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &hToken);
    BYTE user[256];
    DWORD nSize = sizeof user;
    GetTokenInformation(hToken, TokenUser, user, nSize, &nSize);
    CloseHandle(hToken);
    const PSID pUser = reinterpret_cast<TOKEN_USER*>(user)->User.Sid;
    BYTE system[SECURITY_MAX_SID_SIZE];
    DWORD nSystemSize = sizeof system;
    CreateWellKnownSid(WinLocalSystemSid, nullptr, system, &nSystemSize);
    for (DWORD i = 0; pDacl && i < pDacl->AceCount; ++i) {
        ACE_HEADER* pAce = nullptr;
        if (!GetAce(pDacl, i, reinterpret_cast<void**>(&pAce)) || pAce->AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
        auto* pAllowed = reinterpret_cast<ACCESS_ALLOWED_ACE*>(pAce);
        const PSID pSid = &pAllowed->SidStart;
        if (EqualSid(pSid, pUser)) {
            access.bUserHasFullAccess |= (pAllowed->Mask & FILE_ALL_ACCESS) == FILE_ALL_ACCESS;
        } else if (!EqualSid(pSid, system)) {
            ++access.nOthers;
        }
    }
    LocalFree(pDescriptor);
    return access;
}

TEST_F(PrivateFolderWindows, OnlyTheCurrentUserHasAccess) {
    TPrivateFolder folder;
    const std::string made = folder.Create(Name(L"acl"));
    const TAccess access = AccessOf(Native(made));
    EXPECT_TRUE(access.bUserHasFullAccess);
    EXPECT_EQ(access.nOthers, 0);
    // A folder made the ordinary way beside it lets others in: the check can tell.
    fs::create_directories(m_Base / L"ordinary");
    EXPECT_GT(AccessOf(m_Base / L"ordinary").nOthers, 0);
    EXPECT_EQ(folder.Remove(), TPrivateFolder::TRemoval::Removed);
}

TEST_F(PrivateFolderWindows, NothingMadeIsAnErrorNamingTheFolder) {
    TPrivateFolder folder;
    const std::string missing = Name(L"missing\\deeper");
    try {
        folder.Create(missing);
        ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Cannot create folder " + missing + "\\: ", 0), 0u) << e.what();
    }
    EXPECT_EQ(folder.Remove(), TPrivateFolder::TRemoval::NothingMade);
}

}  // namespace

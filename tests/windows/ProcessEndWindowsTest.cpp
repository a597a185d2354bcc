#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "platform/ProcessEnd.h"
#include "platform/ThreadName.h"
#include "support/TempDir.h"

namespace {

std::string g_strExitMarker;

void WriteExitMarker() {
    if (FILE* file = std::fopen(g_strExitMarker.c_str(), "w")) std::fclose(file);
}

// The child of the death test writes through a buffered FILE it never closes
// and registers an exit handler; ending at once must flush the one and skip
// the other. The child runs this test again from its start, so the folder is
// handed down in the environment.
TEST(ProcessEndWindows, EndsWithTheCodeFlushesBufferedOutputAndRunsNoExitHandlers) {
    constexpr char kFolderVariable[] = "VX_PROCESS_END_TEST_FOLDER";
    std::unique_ptr<TempDir> dir;
    std::filesystem::path folder;
    if (const char* inherited = std::getenv(kFolderVariable)) {
        folder = inherited;
    } else {
        dir = std::make_unique<TempDir>();
        folder = dir->path();
        _putenv_s(kFolderVariable, folder.string().c_str());
    }
    const std::string buffered = (folder / "buffered.txt").string();
    const std::string marker = (folder / "atexit-ran").string();
    EXPECT_EXIT(
        {
            g_strExitMarker = marker;
            std::atexit(WriteExitMarker);
            FILE* file = std::fopen(buffered.c_str(), "w");
            std::fputs("last words", file);
            EndProcessNow(3);
        },
        testing::ExitedWithCode(3), "");
    _putenv_s(kFolderVariable, "");
    EXPECT_EQ(ReadFileText(buffered), "last words");
    EXPECT_FALSE(std::filesystem::exists(marker)) << "an exit handler ran";
}

TEST(ThreadNameWindows, NameIsSetWhereTheSystemKeepsOne) {
    using TGetThreadDescription = HRESULT(WINAPI*)(HANDLE, PWSTR*);
    auto getDescription = reinterpret_cast<TGetThreadDescription>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetThreadDescription")));
    if (!getDescription) GTEST_SKIP() << "this system keeps no thread names";
    std::wstring name;
    std::thread([&] {
        SetCurrentThreadName("ExtractThread 2");
        PWSTR text = nullptr;
        if (SUCCEEDED(getDescription(GetCurrentThread(), &text)) && text) {
            name = text;
            LocalFree(text);
        }
    }).join();
    EXPECT_EQ(name, L"ExtractThread 2");
}

}  // namespace

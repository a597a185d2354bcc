#include "platform/ProgramArguments.h"

#include <windows.h>
#include <shellapi.h>

#include <memory>

#include "platform/windows/WideString.h"

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    int nCount = 0;
    std::unique_ptr<LPWSTR, decltype(&LocalFree)> words(CommandLineToArgvW(GetCommandLineW(), &nCount), &LocalFree);
    if (!words) return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> arguments;
    for (int i = 0; i < nCount; ++i) arguments.push_back(Narrow(words.get()[i]));
    return arguments;
}

#include <windows.h>

#include "platform/ThreadName.h"
#include "platform/windows/WideString.h"

namespace {

using TSetThreadDescription = HRESULT(WINAPI*)(HANDLE, PCWSTR);

// Windows 10 1607 added the call; older systems simply leave threads unnamed.
TSetThreadDescription FindSetThreadDescription() {
    for (const wchar_t* module : {L"kernelbase.dll", L"kernel32.dll"}) {
        HMODULE hModule = GetModuleHandleW(module);
        if (!hModule) continue;
        if (FARPROC proc = GetProcAddress(hModule, "SetThreadDescription"))
            return reinterpret_cast<TSetThreadDescription>(reinterpret_cast<void*>(proc));
    }
    return nullptr;
}

}  // namespace

void SetCurrentThreadName(const std::string& name) noexcept {
    static const TSetThreadDescription s_SetThreadDescription = FindSetThreadDescription();
    if (!s_SetThreadDescription) return;
    try {
        s_SetThreadDescription(GetCurrentThread(), Widen(name).c_str());
    } catch (...) {
        // Out of memory for the wide copy: the name is only a hint.
    }
}

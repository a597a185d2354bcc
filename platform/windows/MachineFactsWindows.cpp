#include <windows.h>

#include <cstring>

#include "platform/MachineFacts.h"

namespace {

constexpr DWORD kTextBufferSize = 1024;

// One text value in the system's narrow encoding, cut at its first zero byte;
// nothing when it is missing or not a text.
bool ReadNarrowValue(HKEY hKey, const char* name, std::string& text) {
    char buffer[kTextBufferSize] = {};
    DWORD nSize = kTextBufferSize;
    DWORD nType = 0;
    if (RegQueryValueExA(hKey, name, nullptr, &nType, reinterpret_cast<BYTE*>(buffer), &nSize) != ERROR_SUCCESS)
        return false;
    if (nType != REG_SZ && nType != REG_EXPAND_SZ) return false;
    text.assign(buffer, strnlen(buffer, nSize));
    return true;
}

// The owner, and the organisation when the owner was there, from one key. The
// 32-bit view is read because the identifier has always been formed from it:
// the same machine must keep the identifier its earlier installers reported.
bool ReadOwnerFrom(const char* keyName, std::vector<std::string>& texts) {
    HKEY hKey = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyName, 0, KEY_QUERY_VALUE | KEY_WOW64_32KEY, &hKey) != ERROR_SUCCESS)
        return false;
    std::string owner;
    const bool bOwner = ReadNarrowValue(hKey, "RegisteredOwner", owner);
    if (bOwner) {
        texts.push_back(owner);
        std::string organisation;
        if (ReadNarrowValue(hKey, "RegisteredOrganization", organisation)) texts.push_back(organisation);
    }
    RegCloseKey(hKey);
    return bOwner;
}

class TMachineFactsWindows : public IMachineFacts {
public:
    std::vector<std::string> OwnerTexts() const override {
        std::vector<std::string> texts;
        if (!ReadOwnerFrom("Software\\Microsoft\\Windows\\CurrentVersion", texts))
            ReadOwnerFrom("Software\\Microsoft\\Windows NT\\CurrentVersion", texts);
        return texts;
    }

    // The words a 32-bit process is given on an x86 or x64 machine, as every
    // earlier installer was one: this 64-bit build must not move the identifier.
    std::array<uint32_t, 2> SystemWords() const override {
        SYSTEM_INFO info{};
        GetNativeSystemInfo(&info);
        switch (info.wProcessorArchitecture) {
            case PROCESSOR_ARCHITECTURE_INTEL:
            case PROCESSOR_ARCHITECTURE_AMD64:
                return {PROCESSOR_ARCHITECTURE_INTEL, PROCESSOR_INTEL_PENTIUM};
            default:
                GetSystemInfo(&info);
                return {info.dwOemId, info.dwProcessorType};
        }
    }

    std::vector<TFixedDrive> FixedDrives() const override {
        std::vector<TFixedDrive> drives;
        for (char cLetter = 'C'; cLetter <= 'Z'; ++cLetter) {
            const char root[] = {cLetter, ':', '\\', '\0'};
            if (GetDriveTypeA(root) != DRIVE_FIXED) continue;
            TFixedDrive drive;
            drive.cLetter = cLetter;
            const char name[] = {cLetter, ':', '\0'};
            char device[kTextBufferSize] = {};
            if (QueryDosDeviceA(name, device, kTextBufferSize)) drive.strDevice = device;
            DWORD nSerial = 0;
            if (GetVolumeInformationA(root, nullptr, 0, &nSerial, nullptr, nullptr, nullptr, 0))
                drive.nSerial = nSerial;
            drives.push_back(std::move(drive));
        }
        return drives;
    }
};

}  // namespace

std::unique_ptr<IMachineFacts> CreateMachineFacts() { return std::make_unique<TMachineFactsWindows>(); }

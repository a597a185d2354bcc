#pragma once
#include <filesystem>
#include <string>
#include <vector>

#include "platform/ProcessList.h"
#include "platform/RegistryHive.h"

// What betrays one kind of virtual machine.
struct VM_INFO {
    std::string strName;
    std::vector<std::string> lstMAC;             // upper-case hex fragments of adapter addresses
    std::vector<std::string> lstKnownProcesses;  // executable names of its guest tools
};

extern const VM_INFO viParallels;

// Answers whether the program runs in a virtual machine or under Wine; the
// answers are only printed, nothing behaves differently because of them. The
// adapter addresses and the process list are read once, when the detector is
// made. Use from one thread at a time.
class TVMDetector {
public:
    // The hives may be null (a hive that cannot be opened has no Wine key).
    // netClassDir lists the network adapters, one folder each with an "address" file.
    TVMDetector(const IProcessList& processes, const IRegistryHive* pCurrentUser, const IRegistryHive* pLocalMachine,
                const std::filesystem::path& netClassDir = "/sys/class/net");

    // True when an adapter address contains one of the machine's fragments or one
    // of its tools is running (names compared without regard to case). Remembers
    // the machine recognised, and answers true again without looking.
    bool IsVirtualMachine(const VM_INFO& viMachine);
    // True when the key "Software\Wine" exists in the current user's or the local
    // machine's hive. A hive that fails while asked ends the check with the answer so far.
    bool UnderWine() const;

    const std::vector<std::string>& MacAddresses() const { return m_lstMacAddress; }

private:
    std::vector<std::string> m_lstMacAddress;
    std::vector<std::string> m_lstProcess;
    std::string m_strName;
    const IRegistryHive* m_pCurrentUser;
    const IRegistryHive* m_pLocalMachine;
};

// Hardware addresses of the adapters under netClassDir, in interface-index
// order, as upper-case hex without separators; adapters without an address of
// their own (all zero, as the loopback reports) are left out.
std::vector<std::string> GetMacAddressList(const std::filesystem::path& netClassDir);

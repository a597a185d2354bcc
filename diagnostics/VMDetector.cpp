#include "diagnostics/VMDetector.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <utility>

#include "platform/DebugOutput.h"

namespace fs = std::filesystem;

const VM_INFO viParallels = {"Parallels", {"001C42"}, {"prl_cc.exe", "prl_tools.exe"}};

namespace {

std::string ReadFirstLine(const fs::path& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

// "02:fc:00:00:00:01" -> "02FC00000001"
std::string HexDigitsUpper(const std::string& address) {
    std::string hex;
    for (char ch : address)
        if (std::isxdigit(static_cast<unsigned char>(ch))) hex += static_cast<char>(std::toupper(ch));
    return hex;
}

bool EqualsIgnoringCase(const std::string& a, const std::string& b) {
    return std::ranges::equal(a, b, [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

std::vector<std::string> ProcessNames(const IProcessList& processes) {
    std::vector<std::string> names;
    for (const TProcessInfo& p : processes.Snapshot()) names.push_back(p.strExeName);
    return names;
}

bool HasWineKey(const IRegistryHive* hive) { return hive && hive->KeyExists("Software\\Wine"); }

}  // namespace

std::vector<std::string> GetMacAddressList(const fs::path& netClassDir) {
    std::vector<std::pair<int, std::string>> adapters;  // interface index, address
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(netClassDir, ec)) {
        const std::string hex = HexDigitsUpper(ReadFirstLine(entry.path() / "address"));
        if (hex.empty() || hex.find_first_not_of('0') == std::string::npos) continue;
        int index = 0;
        try {
            index = std::stoi(ReadFirstLine(entry.path() / "ifindex"));
        } catch (const std::exception&) {
            index = 0;  // no index: such adapters sort first, by address
        }
        adapters.emplace_back(index, hex);
    }
    std::ranges::sort(adapters);
    std::vector<std::string> result;
    for (auto& adapter : adapters) result.push_back(std::move(adapter.second));
    return result;
}

TVMDetector::TVMDetector(const IProcessList& processes, const IRegistryHive* pCurrentUser,
                         const IRegistryHive* pLocalMachine, const fs::path& netClassDir)
    : m_lstMacAddress(GetMacAddressList(netClassDir)),
      m_lstProcess(ProcessNames(processes)),
      m_pCurrentUser(pCurrentUser),
      m_pLocalMachine(pLocalMachine) {}

bool TVMDetector::IsVirtualMachine(const VM_INFO& viMachine) {
    if (!m_strName.empty() && m_strName == viMachine.strName) return true;
    for (const std::string& address : m_lstMacAddress) {
        for (const std::string& fragment : viMachine.lstMAC) {
            if (address.find(fragment) != std::string::npos) {
                m_strName = viMachine.strName;
                return true;
            }
        }
    }
    for (const std::string& known : viMachine.lstKnownProcesses) {
        for (const std::string& running : m_lstProcess) {
            if (EqualsIgnoringCase(running, known)) {
                m_strName = viMachine.strName;
                return true;
            }
        }
    }
    return false;
}

bool TVMDetector::UnderWine() const {
    // Wine's own ntdll export would settle it on Windows; no such module loads
    // here, so the registry's answer stands.
    bool bWine = false;
    try {
        bWine = HasWineKey(m_pCurrentUser) || HasWineKey(m_pLocalMachine);
    } catch (const std::exception& e) {
        // The question is only printed; a hive that fails answers with what was found so far.
        DebugOutput(std::string("TVMDetector.UnderWine: Except: ") + e.what());
    }
    return bWine;
}

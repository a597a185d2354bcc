#include <gtest/gtest.h>

#include <set>
#include <stdexcept>

#include "diagnostics/VMDetector.h"
#include "support/TempDir.h"

namespace {

class TFakeProcesses : public IProcessList {
public:
    explicit TFakeProcesses(std::vector<std::string> names) : m_lstNames(std::move(names)) {}
    std::vector<TProcessInfo> Snapshot() const override {
        std::vector<TProcessInfo> result;
        int pid = 100;
        for (const auto& name : m_lstNames) result.push_back({pid++, "C:\\Tools\\" + name, name});
        return result;
    }
    std::vector<std::string> Modules(int) const override { return {}; }

private:
    std::vector<std::string> m_lstNames;
};

// A hive that knows only which keys exist; or one whose store fails.
class TFakeHive : public IRegistryHive {
public:
    std::set<std::string> setKeys;
    bool bFails = false;

    bool KeyExists(const std::string& key) const override {
        if (bFails) throw std::runtime_error("hive unreadable");
        return setKeys.contains(key);
    }
    std::vector<std::string> SubKeyNames(const std::string&) const override { return {}; }
    std::vector<TRegValue> Values(const std::string&) const override { return {}; }
    std::optional<TRegValue> ReadValue(const std::string&, const std::string&) const override { return {}; }
    void CreateKey(const std::string&) override { throw std::runtime_error("read only"); }
    void WriteString(const std::string&, const std::string&, const std::string&) override {
        throw std::runtime_error("read only");
    }
    void WriteDword(const std::string&, const std::string&, uint32_t) override {
        throw std::runtime_error("read only");
    }
    void WriteValues(const std::vector<TRegWrite>&) override { throw std::runtime_error("read only"); }
    bool DeleteKey(const std::string&) override { throw std::runtime_error("read only"); }
    bool DeleteValue(const std::string&, const std::string&) override { throw std::runtime_error("read only"); }
};

// A fake /sys/class/net: one folder per adapter with its address and index.
std::filesystem::path MakeNetDir(const TempDir& dir, const std::vector<std::string>& addresses) {
    const auto net = dir / "net";
    std::filesystem::create_directories(net);
    int index = 1;
    for (const auto& address : addresses) {
        const auto adapter = net / ("if" + std::to_string(10 - index));  // names sort against index order
        std::filesystem::create_directories(adapter);
        WriteFileText(adapter / "address", address + "\n");
        WriteFileText(adapter / "ifindex", std::to_string(index++) + "\n");
    }
    return net;
}

}  // namespace

TEST(VMDetector, ParallelsByAdapterAddressOrToolsProcess) {
    struct {
        const char* what;
        std::vector<std::string> lstAddresses, lstProcesses;
        bool bExpected;
    } cases[] = {
        {"fragment at the start", {"00:1c:42:12:34:56"}, {"bash"}, true},
        {"fragment inside the address", {"02:fc:00:00:00:01", "aa:00:1c:42:bb:cc"}, {}, true},
        {"other adapters", {"02:fc:00:00:00:01", "9e:09:ad:e1:ee:cf"}, {"bash", "init"}, false},
        {"no adapters, tools upper-case", {}, {"PRL_CC.EXE"}, true},
        {"no adapters, second tool", {}, {"Prl_Tools.exe"}, true},
        {"names must match whole", {}, {"prl_cc.exe.bak", "xprl_tools.exe"}, false},
        {"loopback only", {"00:00:00:00:00:00"}, {}, false},
    };
    for (const auto& c : cases) {
        TempDir dir;
        TFakeProcesses processes(c.lstProcesses);
        TVMDetector detector(processes, nullptr, nullptr, MakeNetDir(dir, c.lstAddresses));
        EXPECT_EQ(detector.IsVirtualMachine(viParallels), c.bExpected) << c.what;
    }
}

TEST(VMDetector, AddressListIsUpperHexInIndexOrderWithoutZeroAddresses) {
    TempDir dir;
    auto net = MakeNetDir(dir, {"02:fc:00:00:00:01", "00:00:00:00:00:00", "9e:09:ad:e1:ee:cf"});
    EXPECT_EQ(GetMacAddressList(net), (std::vector<std::string>{"02FC00000001", "9E09ADE1EECF"}));
    EXPECT_TRUE(GetMacAddressList(dir / "missing").empty());
}

TEST(VMDetector, RemembersTheRecognisedMachine) {
    TempDir dir;
    TFakeProcesses processes({"prl_cc.exe"});
    TVMDetector detector(processes, nullptr, nullptr, MakeNetDir(dir, {}));
    const VM_INFO other{"Other", {"0A0B0C"}, {"other.exe"}};
    EXPECT_FALSE(detector.IsVirtualMachine(other));
    EXPECT_TRUE(detector.IsVirtualMachine(viParallels));
    EXPECT_TRUE(detector.IsVirtualMachine({"Parallels", {}, {}})) << "answered from the earlier question";
    EXPECT_FALSE(detector.IsVirtualMachine(other));
    EXPECT_FALSE(detector.IsVirtualMachine({"", {}, {}})) << "a nameless description is never recognised";
}

TEST(VMDetector, ProcessListIsTakenOnceWhenCreated) {
    TempDir dir;
    class TChanging : public IProcessList {
    public:
        mutable int nCalls = 0;
        std::vector<TProcessInfo> Snapshot() const override { return {{1, "", ++nCalls == 1 ? "bash" : "prl_cc.exe"}}; }
        std::vector<std::string> Modules(int) const override { return {}; }
    } processes;
    TVMDetector detector(processes, nullptr, nullptr, MakeNetDir(dir, {}));
    EXPECT_FALSE(detector.IsVirtualMachine(viParallels));
    EXPECT_EQ(processes.nCalls, 1);
}

TEST(VMDetector, WineKeyInEitherHive) {
    struct {
        bool bUser, bMachine, bExpected;
    } cases[] = {{false, false, false}, {true, false, true}, {false, true, true}, {true, true, true}};
    TempDir dir;
    TFakeProcesses processes({});
    for (const auto& c : cases) {
        TFakeHive user, machine;
        if (c.bUser) user.setKeys.insert("Software\\Wine");
        if (c.bMachine) machine.setKeys.insert("Software\\Wine");
        TVMDetector detector(processes, &user, &machine, MakeNetDir(dir, {}));
        EXPECT_EQ(detector.UnderWine(), c.bExpected) << c.bUser << c.bMachine;
    }
}

TEST(VMDetector, WineWithoutHivesOrWithFailingHive) {
    TempDir dir;
    TFakeProcesses processes({});
    EXPECT_FALSE(TVMDetector(processes, nullptr, nullptr, MakeNetDir(dir, {})).UnderWine());

    TFakeHive failing, machine;
    failing.bFails = true;
    machine.setKeys.insert("Software\\Wine");
    TVMDetector detector(processes, &failing, &machine, MakeNetDir(dir, {}));
    EXPECT_FALSE(detector.UnderWine()) << "a failure ends the check with the answer so far";
}

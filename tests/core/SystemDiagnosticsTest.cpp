#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <stdexcept>

#include "base/EditionConstants.h"
#include "diagnostics/SystemDiagnostics.h"
#include "diagnostics/SystemInfo.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

namespace {

class TFakeProcesses : public IProcessList {
public:
    std::vector<std::string> lstNames;
    bool bFails = false;
    std::vector<TProcessInfo> Snapshot() const override {
        if (bFails) throw std::runtime_error("no snapshot");
        std::vector<TProcessInfo> result;
        for (const auto& name : lstNames) result.push_back({1, "", name});
        return result;
    }
    std::vector<std::string> Modules(int) const override { return {}; }
};

class TWineHive : public IRegistryHive {
public:
    bool KeyExists(const std::string& key) const override { return key == "Software\\Wine"; }
    std::vector<std::string> SubKeyNames(const std::string&) const override { return {}; }
    std::vector<TRegValue> Values(const std::string&) const override { return {}; }
    std::optional<TRegValue> ReadValue(const std::string&, const std::string&) const override { return {}; }
    void CreateKey(const std::string&) override {}
    void WriteString(const std::string&, const std::string&, const std::string&) override {}
    void WriteDword(const std::string&, const std::string&, uint32_t) override {}
    void WriteValues(const std::vector<TRegWrite>&) override {}
    bool DeleteKey(const std::string&) override { return false; }
    bool DeleteValue(const std::string&, const std::string&) override { return false; }
};

void FixedSysInfo(TSysInfo& info) {
    info = {"Orla Desk", "1.81.0.0", "Windows 10 Workstation [64 Bits ], Versão: 10.0, Build: 4A65, \"\"",
            "Intel, Intel(R) Core(TM) i5-8400 CPU, 2800 MHz MMX", "1920x1080 pixels, 32 bpp"};
}

const std::string kPrefix = "LogU.AppendLogSystemDiag : ";

class SystemDiagnostics : public ::testing::Test {
protected:
    TSystemDiagSources Sources() {
        return {.processes = m_Processes,
                .pCurrentUser = nullptr,
                .pLocalMachine = nullptr,
                .pathAppData = m_AppData.path(),
                .pathNetClass = m_AppData / "no-adapters",
                .fnGetSysInfo = FixedSysInfo};
    }

    LogCapture m_Log;
    TempDir m_AppData{"vxappdata"};
    TFakeProcesses m_Processes;
};

}  // namespace

TEST_F(SystemDiagnostics, WritesFourEntriesWithTheFiveLineBlock) {
    m_Processes.lstNames = {"PRL_CC.EXE"};
    TWineHive wine;
    TSystemDiagSources sources = Sources();
    sources.pLocalMachine = &wine;
    AppendLogSystemDiag(sources);

    const std::string raw = m_Log.Raw();
    const std::regex stamp(R"(^\d{2}:\d{2}:\d{2}\.\d{3}: )");
    std::vector<std::string> rawLines;
    for (size_t start = 0, pos; (pos = raw.find("\r\n", start)) != std::string::npos; start = pos + 2)
        rawLines.push_back(raw.substr(start, pos - start));
    ASSERT_EQ(rawLines.size(), 8u) << raw;
    for (size_t i = 0; i < rawLines.size(); ++i)
        EXPECT_EQ(std::regex_search(rawLines[i], stamp), i <= 3) << "only entries carry a time: " << rawLines[i];

    const auto lines = m_Log.Lines();
    EXPECT_TRUE(std::regex_match(lines[0], std::regex(kPrefix + "Espaço Livre em Disco= [0-9][^ ]* MB"))) << lines[0];
    EXPECT_EQ(lines[1], kPrefix + "Usando Máquina Virtual = Sim");
    EXPECT_EQ(lines[2], kPrefix + "Usando Ambiente Emulado (Wine) = Sim");
    EXPECT_EQ(lines[3], "Nome:        Orla Desk");
    EXPECT_EQ(lines[4], "Versão:      1.81.0.0");
    EXPECT_EQ(lines[5], "Sistema:     Windows 10 Workstation [64 Bits ], Versão: 10.0, Build: 4A65, \"\"");
    EXPECT_EQ(lines[6], "Processador: Intel, Intel(R) Core(TM) i5-8400 CPU, 2800 MHz MMX");
    EXPECT_EQ(lines[7], "Monitor:     1920x1080 pixels, 32 bpp");
}

TEST_F(SystemDiagnostics, FreeSpaceIsTheFileSystemsFigureInMegabytes) {
    AppendLogSystemDiag(Sources());
    const std::string expected = FormatMegabytes(GetFreeDiskSpace(m_AppData.path()));
    // Another process may write between the two readings; the figure must be the same order.
    const auto line = m_Log.Lines().at(0);
    EXPECT_TRUE(line.starts_with(kPrefix + "Espaço Livre em Disco= ")) << line;
    EXPECT_EQ(line.size(), (kPrefix + "Espaço Livre em Disco= " + expected).size()) << line << " vs " << expected;
}

TEST_F(SystemDiagnostics, FreeSpacePlaceholders) {
    struct {
        std::filesystem::path pathAppData;
        std::string strValue;
    } cases[] = {
        {"", " - "},                  // the folder cannot be determined
        {"relative/folder", "0 MB"},  // the query fails
    };
    for (const auto& c : cases) {
        LogCapture log;
        TSystemDiagSources sources = Sources();
        sources.pathAppData = c.pathAppData;
        AppendLogSystemDiag(sources);
        EXPECT_EQ(log.Lines().at(0), kPrefix + "Espaço Livre em Disco= " + c.strValue);
        EXPECT_EQ(log.Lines().size(), 8u) << "the other entries are still written";
    }
}

TEST_F(SystemDiagnostics, NotAVirtualMachineNorWine) {
    m_Processes.lstNames = {"bash", "init"};
    AppendLogSystemDiag(Sources());
    const auto lines = m_Log.Lines();
    EXPECT_EQ(lines.at(1), kPrefix + "Usando Máquina Virtual = Não");
    EXPECT_EQ(lines.at(2), kPrefix + "Usando Ambiente Emulado (Wine) = Não");
}

TEST_F(SystemDiagnostics, FailingDetectorIsReportedAndTheBlockStillWritten) {
    m_Processes.bFails = true;
    AppendLogSystemDiag(Sources());
    const auto lines = m_Log.Lines();
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[1], kPrefix + "Usando Máquina Virtual = Impossível determinar [except]");
    EXPECT_EQ(lines[2], kPrefix + "Usando Ambiente Emulado (Wine) = Impossível determinar [except]");
    EXPECT_EQ(lines[3], "Nome:        Orla Desk");
}

TEST_F(SystemDiagnostics, FailingSystemQueryStillWritesTheBlock) {
    TSystemDiagSources sources = Sources();
    sources.fnGetSysInfo = [](TSysInfo& info) {
        info.strName = "Orla Desk";
        throw std::runtime_error("no screen");
    };
    AppendLogSystemDiag(sources);
    const auto lines = m_Log.Lines();
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[3], "Nome:        Orla Desk");
    EXPECT_EQ(lines[5], "Sistema:     Except: no screen");
}

TEST(SysInfo, ThisMachine) {
    TSysInfo info;
    GetSysInfo(info);
    EXPECT_EQ(info.strName, "Orla Desk");
    EXPECT_EQ(info.strVersion, GetAppVersion());
    EXPECT_TRUE(std::regex_match(
        info.strSystem, std::regex(R"(.* Workstation \[(64|32) Bits \], Versão: \d+\.\d+, Build: [0-9A-F]+, "[^"]*")")))
        << info.strSystem;
    EXPECT_TRUE(std::regex_match(info.strProcessor, std::regex(R"(.*, .*, \d+ MHz (MMX)?)"))) << info.strProcessor;
    EXPECT_TRUE(std::regex_match(info.strMonitor, std::regex(R"(\d+x\d+ pixels, \d+ bpp)"))) << info.strMonitor;
}

TEST(SysInfo, AppVersionIsTheBuildsFourPartVersion) {
    const std::string version = GetAppVersion();
    EXPECT_TRUE(std::regex_match(version, std::regex(R"(\d+\.\d+\.\d+\.\d+)"))) << version;
    EXPECT_TRUE(version.starts_with(std::to_string(VX_PRODUCT_VERSION_MAJOR) + "." +
                                    std::to_string(VX_PRODUCT_VERSION_MINOR) + "."));
}

TEST(SysInfo, RealCollaboratorsWriteTheFourEntries) {
    LogCapture log;
    TWineHive wine;
    AppendLogSystemDiag(nullptr, &wine);
    const auto lines = log.Lines();
    ASSERT_EQ(lines.size(), 8u) << log.Raw();
    EXPECT_TRUE(lines[0].starts_with(kPrefix + "Espaço Livre em Disco= "));
    EXPECT_TRUE(lines[0].ends_with(" MB")) << lines[0];
    EXPECT_EQ(lines[2], kPrefix + "Usando Ambiente Emulado (Wine) = Sim");
    EXPECT_EQ(lines[3], "Nome:        Orla Desk");
}

#include "diagnostics/SystemDiagnostics.h"

#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

#include "base/EditionConstants.h"
#include "diagnostics/Log.h"
#include "diagnostics/SystemInfo.h"
#include "diagnostics/VMDetector.h"
#include "platform/Folders.h"
#include "platform/Hives.h"

namespace {

constexpr const char* kDiagPrefix = "LogU.AppendLogSystemDiag : ";
constexpr const char* kCannotTell = "Impossível determinar [except]";

const char* YesNo(bool b) { return b ? "Sim" : "Não"; }

std::string FreeDiskSpaceText(const std::filesystem::path& appData) {
    try {
        if (appData.empty()) throw std::runtime_error("APPDATA is empty");
        return FormatMegabytes(GetFreeDiskSpace(appData));
    } catch (const std::exception&) {
        // Printed as a dash: the block is about the machine, not about this failure.
        return " - ";
    }
}

template <typename Fn>
std::string AnswerText(Fn question) {
    try {
        return YesNo(question());
    } catch (const std::exception&) {
        return kCannotTell;
    }
}

std::vector<std::string> SystemBlock(const TSysInfo& info) {
    return {"Nome:        " + info.strName, "Versão:      " + info.strVersion, "Sistema:     " + info.strSystem,
            "Processador: " + info.strProcessor, "Monitor:     " + info.strMonitor};
}

}  // namespace

void GetSysInfo(TSysInfo& info) {
    info.strName = edition::strProductDisplayName;
    info.strVersion = GetAppVersion();
    info.strSystem = FormatSystemDescription(OsVersion(), Is64BitWindows());
    info.strProcessor = FormatProcessorDescription(GetProcessorInfo());
    info.strMonitor = FormatScreenDescription(GetScreenInfo());
}

std::string GetAppVersion() { return VX_PRODUCT_VERSION; }

void AppendLogSystemDiag(const TSystemDiagSources& sources) {
    AppendLog(std::string(kDiagPrefix) + "Espaço Livre em Disco= " + FreeDiskSpaceText(sources.pathAppData));

    std::optional<TVMDetector> detector;
    AppendLog(std::string(kDiagPrefix) + "Usando Máquina Virtual = " + AnswerText([&] {
                  detector.emplace(sources.processes, sources.pCurrentUser, sources.pLocalMachine,
                                   sources.pathNetClass);
                  return detector->IsVirtualMachine(viParallels);
              }));
    AppendLog(std::string(kDiagPrefix) + "Usando Ambiente Emulado (Wine) = " + AnswerText([&] {
                  if (!detector) throw std::runtime_error("no detector");
                  return detector->UnderWine();
              }));
    detector.reset();

    // Whatever the system queries managed to fill is still worth a block.
    TSysInfo info;
    try {
        sources.fnGetSysInfo(info);
    } catch (const std::exception& e) {
        info.strSystem = std::string("Except: ") + e.what();
    }
    AppendLogLines(SystemBlock(info));
}

void AppendLogSystemDiag(const IRegistryHive* pCurrentUser, const IRegistryHive* pLocalMachine) {
    const std::unique_ptr<IProcessList> processes = CreateProcessList();
    AppendLogSystemDiag(TSystemDiagSources{.processes = *processes,
                                           .pCurrentUser = pCurrentUser,
                                           .pLocalMachine = pLocalMachine,
                                           .pathAppData = AppDataFolder()});
}

void AppendLogSystemDiag() {
    // A hive that cannot be opened counts as one without the Wine key.
    std::unique_ptr<IRegistryHive> currentUser, localMachine;
    try {
        currentUser = OpenCurrentUserHive();
    } catch (const std::exception& e) {
        AppendLog(std::string(kDiagPrefix) + "Error= " + e.what());
    }
    try {
        localMachine = OpenLocalMachineHive();
    } catch (const std::exception& e) {
        AppendLog(std::string(kDiagPrefix) + "Error= " + e.what());
    }
    AppendLogSystemDiag(currentUser.get(), localMachine.get());
}

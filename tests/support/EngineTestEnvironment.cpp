#include "support/EngineTestEnvironment.h"

TEngineEnvironment TestEngineEnvironment(std::shared_ptr<IRegistryHive> hive, const std::filesystem::path& appData,
                                         const std::string& serverUrl) {
    TEngineEnvironment env;
    env.lstCommandLine = {"OrlaDesk"};
    env.fnMachineIdHex = [] { return std::string("0A1B2C3D"); };
    env.fnOsDescription = [] { return std::string("Test OS"); };
    env.hkcu = std::move(hive);
    env.processes = CreateProcessList();
    env.pathAppData = appData;
    env.strServerUrl = serverUrl;
    env.bX64 = false;
    env.tProgressInterval = std::chrono::milliseconds(5);
    return env;
}

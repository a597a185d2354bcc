#include <memory>

#include "platform/Hives.h"
#include "platform/windows/RegistryHiveWindows.h"

// Windows keeps the hives itself and names no file a caller could use, so the
// "path" of a hive is the name of its root: what a log line or a message needs
// to say which hive was meant.
std::filesystem::path CurrentUserHivePath() {
    return TRegistryHiveWindows::RootName(TRegistryHiveWindows::TRoot::hrCurrentUser);
}

std::filesystem::path LocalMachineHivePath() {
    return TRegistryHiveWindows::RootName(TRegistryHiveWindows::TRoot::hrLocalMachine);
}

std::unique_ptr<IRegistryHive> OpenCurrentUserHive() {
    return std::make_unique<TRegistryHiveWindows>(TRegistryHiveWindows::TRoot::hrCurrentUser, false);
}

std::unique_ptr<IRegistryHive> OpenLocalMachineHive() {
    return std::make_unique<TRegistryHiveWindows>(TRegistryHiveWindows::TRoot::hrLocalMachine, true);
}

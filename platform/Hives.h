#pragma once
#include <filesystem>
#include <memory>

#include "platform/RegistryHive.h"

// Where the current user's hive lives: $VXREG_HKCU when set and not empty,
// else ${XDG_CONFIG_HOME:-$HOME/.config}/vxreg/HKCU.sqlite.
std::filesystem::path CurrentUserHivePath();
// Where the machine's hive lives: $VXREG_HKLM when set and not empty, else
// /etc/vxreg/HKLM.sqlite.
std::filesystem::path LocalMachineHivePath();

// The current user's hive, read and write; the file is created by the first write.
std::unique_ptr<IRegistryHive> OpenCurrentUserHive();
// The machine's hive, read only; a missing file is an empty hive.
std::unique_ptr<IRegistryHive> OpenLocalMachineHive();

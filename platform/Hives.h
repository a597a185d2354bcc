#pragma once
#include <filesystem>
#include <memory>

#include "platform/RegistryHive.h"

// On Windows the hives are the registry's own roots, and their "paths" are the
// roots' names, HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE: Windows names no file
// a caller could use.

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

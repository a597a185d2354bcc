#pragma once
#include <filesystem>
#include <memory>
#include <string>

#include "engine/InstallerThread.h"

// What an engine under test runs on: the given hive, application-data folder and
// server, a fixed machine identifier and system name, the real process list,
// the plain (not 64-bit) release, and a fast progress loop.
TEngineEnvironment TestEngineEnvironment(std::shared_ptr<IRegistryHive> hive, const std::filesystem::path& appData,
                                         const std::string& serverUrl);

#pragma once
#include <filesystem>
#include <string>
#include <vector>

#include "platform/RegistryHive.h"

// The .reg text of a key and everything below it, as regedit writes it
// ("Windows Registry Editor Version 5.00", one [section] per key), in UTF-8
// with CR LF line ends. `key` holds the key's components in stored case.
std::string RegFileText(const IRegistryHive& hive, const std::vector<std::string>& key);

// Writes the text beside the file and renames it into place, so that a failed
// export never leaves a truncated file behind. Throws TRegFailure.
void WriteRegFile(const std::filesystem::path& file, const std::string& text);

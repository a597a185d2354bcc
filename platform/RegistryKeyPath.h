#pragma once
#include <string>
#include <vector>

// The two hives a key path may name at its start.
enum class THiveRoot { hrCurrentUser, hrLocalMachine };

// The components of a key path below its hive's root, as every hive reads
// them: split at back-slashes, empty components dropped, and a leading name of
// `root` ("HKCU" or "HKEY_CURRENT_USER", "HKLM" or "HKEY_LOCAL_MACHINE", any
// letter case) dropped. "\\HKCU\\A\\\\B\\" gives {"A", "B"}.
std::vector<std::string> RegistryKeyParts(const std::string& key, THiveRoot root);

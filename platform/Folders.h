#pragma once
#include <filesystem>
#include <string>
#include <string_view>

class IRegistryHive;

// The user's special folders. Each call reads the environment afresh, so tests
// and child processes see what they set. On Windows: %APPDATA% when set, else
// the roaming application-data Known Folder; GetTempPathW's folder (with a
// trailing back-slash) for both the temporary and the runtime folder; the
// Desktop and Programs Known Folders where the hive holds no value.

// The roaming application-data folder: $APPDATA when set, else
// ${XDG_DATA_HOME:-~/.local/share}.
std::filesystem::path AppDataFolder();

// The user's temporary folder with a trailing "/", ready for a file name to be
// appended: $TMPDIR when set, else "/tmp/".
std::string UserTempFolder();

// Where per-session files such as the single-instance lock live:
// $XDG_RUNTIME_DIR when set, else the temporary folder.
std::filesystem::path RuntimeFolder();

// The "Shell Folders" value `name` ("Desktop" or "Programs") stored in the
// current user's hive under
// "Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders".
// When it is missing or empty, the desktop folder of the XDG user directories
// ($XDG_DESKTOP_DIR, then XDG_DESKTOP_DIR in user-dirs.dirs, then ~/Desktop) or
// the freedesktop applications folder (${XDG_DATA_HOME:-~/.local/share}/applications)
// stands in, so a shortcut never lands in the current folder. Throws
// std::invalid_argument for another name and passes on the hive's failures.
std::filesystem::path ShellFolder(const IRegistryHive& hive, std::string_view name);

inline constexpr const char* kShellFoldersKey = "Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

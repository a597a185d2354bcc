#pragma once
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/RegistryHive.h"

// A command line of the Windows "reg" command, as far as vxreg speaks it.
struct TRegRequest {
    enum TOperation { roHelp, roQuery, roAdd, roDelete, roExport };
    TOperation nOperation = roHelp;
    std::vector<std::string> lstKey;         // components below HKEY_CURRENT_USER, as typed
    std::optional<std::string> strValueName; // /v NAME, or "" for /ve
    bool bAllValues = false;                 // /va
    bool bRecursive = false;                 // /s
    bool bForce = false;                     // /f, or /y for export
    std::optional<TRegValue::TType> nType;   // /t
    std::optional<std::string> strData;      // /d
    std::string strFile;                     // export's FILE
};

// A command line that does not follow the syntax: the caller prints
// "ERROR: Invalid syntax." (or the given text) and the usage.
class TRegSyntaxError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A KEY that names something else than the current user's hive.
class TRegKeyNameError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads argv[1]... into a request. Options are case-insensitive and start with
// "/" or "-". Throws TRegSyntaxError or TRegKeyNameError.
TRegRequest ParseRegArguments(const std::vector<std::string>& args);

// "HKCU\\Software\\X\\" gives {"Software", "X"}; throws TRegKeyNameError for
// any other root (HKLM, a remote machine, nothing).
std::vector<std::string> ParseCurrentUserKey(const std::string& key);

// ASCII letters folded, as the hive compares names.
bool SameRegName(const std::string& a, const std::string& b);

// The four forms of the command; the details of every option.
extern const char* const kRegShortUsage;
extern const char* const kRegUsageDetails;

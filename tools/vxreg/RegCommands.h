#pragma once
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "RegArguments.h"
#include "platform/RegistryHive.h"

// A failure that the user sees as one line on stderr, exit code 1.
class TRegFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

extern const char* const kRegNotFound;

// Carries out one request on a hive, writing what reg would write. Returns the
// exit code; throws TRegFailure (and lets the hive's own failures through).
class TRegCommands {
public:
    TRegCommands(IRegistryHive& hive, std::ostream& out, std::istream& in) : m_Hive(hive), m_Out(out), m_In(in) {}

    int Run(const TRegRequest& request);

private:
    int Query(const TRegRequest& r);
    int Add(const TRegRequest& r);
    int Delete(const TRegRequest& r);
    int Export(const TRegRequest& r);

    // The key's components in their stored spelling; nullopt when it is missing.
    std::optional<std::vector<std::string>> StoredKey(const std::vector<std::string>& typed) const;
    std::vector<std::string> ExistingKey(const std::vector<std::string>& typed) const;
    void QueryTree(const std::vector<std::string>& key);
    size_t QueryValueInTree(const std::vector<std::string>& key, const std::string& name);
    // Asks on stdout and reads one line from stdin: true for y or yes.
    bool Confirm(const std::string& question);

    IRegistryHive& m_Hive;
    std::ostream& m_Out;
    std::istream& m_In;
};

// "HKEY_CURRENT_USER" followed by each component after a back-slash.
std::string FullKeyName(const std::vector<std::string>& key);
// A hive path ("A\\B") for the IRegistryHive calls.
std::string HivePath(const std::vector<std::string>& key);

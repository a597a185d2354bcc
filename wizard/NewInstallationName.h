#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Why the name of an additional installation is refused.
enum class TNameProblem : uint8_t {
    FillName,  // still the placeholder, or unsafe as a folder name
    NoSpaces,
    NameUsed,
};

// The name frame's rule for a new installation beside others, checked in this
// order: the placeholder, blanks, the folder-name rule of base/InstallationName,
// then the installations already there (their registry key names, compared as
// the registry does, without regard to case).
class TNewInstallationName {
public:
    static std::optional<TNameProblem> Check(const std::string& name, const std::string& placeholder,
                                             const std::vector<std::string>& installs);
    // The text the user is told, in the language of the name-frame texts.
    static std::string Text(TNameProblem problem);
};

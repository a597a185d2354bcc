#pragma once
#include <map>
#include <string>
#include <vector>

// Splits "--name=value" / "--name value" arguments; flags take no value.
// Mistakes throw TUsageError.
class TArgs {
public:
    TArgs(const std::vector<std::string>& args, const std::vector<std::string>& flags);

    bool Has(const std::string& name) const { return m_mapValues.count(name) > 0; }
    std::vector<std::string> All(const std::string& name) const;
    std::string One(const std::string& name, const std::string& fallback = "") const;
    std::string Required(const std::string& name) const;
    void OnlyKnown(const std::vector<std::string>& known) const;
    const std::vector<std::string>& Positional() const { return m_arPositional; }

private:
    std::map<std::string, std::vector<std::string>> m_mapValues;
    std::vector<std::string> m_arPositional;
};

// Every command answers --help with its text: printed here, and true when
// the command has nothing more to do.
bool HelpAsked(const TArgs& args, const char* helpText);

// The items of a comma-separated list; empty items are dropped.
std::vector<std::string> SplitList(const std::string& text);

// A whole number from `min` to `max`, or TUsageError naming `what`.
unsigned ParseCount(const std::string& text, const std::string& what, unsigned min, unsigned max);

// --expires DAYS: how long signed documents stay valid (default 30 days).
unsigned ParseExpiryDays(const TArgs& args);

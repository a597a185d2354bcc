#include "tools/vxrelease/CommandArgs.h"

#include <algorithm>
#include <iostream>

#include "release/ExpiryStamp.h"
#include "tools/vxrelease/UsageError.h"

TArgs::TArgs(const std::vector<std::string>& args, const std::vector<std::string>& flags) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.rfind("--", 0) != 0) {
            m_arPositional.push_back(arg);
            continue;
        }
        std::string name = arg.substr(2), value;
        const std::size_t eq = name.find('=');
        const bool isFlag = std::find(flags.begin(), flags.end(), name) != flags.end();
        if (eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
        } else if (!isFlag) {
            if (i + 1 >= args.size()) throw TUsageError("--" + name + " needs a value");
            value = args[++i];
        }
        m_mapValues[name].push_back(value);
    }
}

std::vector<std::string> TArgs::All(const std::string& name) const {
    auto it = m_mapValues.find(name);
    return it == m_mapValues.end() ? std::vector<std::string>{} : it->second;
}

std::string TArgs::One(const std::string& name, const std::string& fallback) const {
    std::vector<std::string> values = All(name);
    if (values.size() > 1) throw TUsageError("--" + name + " given more than once");
    return values.empty() ? fallback : values.front();
}

std::string TArgs::Required(const std::string& name) const {
    if (!Has(name)) throw TUsageError("--" + name + " is required");
    return One(name);
}

void TArgs::OnlyKnown(const std::vector<std::string>& known) const {
    for (const auto& [name, values] : m_mapValues)
        if (std::find(known.begin(), known.end(), name) == known.end()) throw TUsageError("unknown option --" + name);
}

std::vector<std::string> SplitList(const std::string& text) {
    std::vector<std::string> items;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t comma = text.find(',', start);
        if (comma == std::string::npos) comma = text.size();
        if (comma > start) items.push_back(text.substr(start, comma - start));
        start = comma + 1;
    }
    return items;
}

unsigned ParseCount(const std::string& text, const std::string& what, unsigned min, unsigned max) {
    try {
        std::size_t used = 0;
        unsigned long value = std::stoul(text, &used);
        if (used == text.size() && value >= min && value <= max &&
            text.find_first_not_of("0123456789") == std::string::npos)
            return static_cast<unsigned>(value);
    } catch (const std::exception&) {
    }
    throw TUsageError(what + " \"" + text + "\" is not a number from " + std::to_string(min) + " to " +
                      std::to_string(max));
}

unsigned ParseExpiryDays(const TArgs& args) {
    // Ten years: beyond that an expiry protects nothing and is most likely a typing error.
    return args.Has("expires") ? ParseCount(args.One("expires"), "--expires", 1, 3650) : kDefaultExpiryDays;
}

bool HelpAsked(const TArgs& args, const char* helpText) {
    if (!args.Has("help")) return false;
    std::cout << helpText;
    return true;
}

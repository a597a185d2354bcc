#pragma once
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/EnvVar.h"

// Sets or unsets environment variables for one test (a null value unsets) and
// puts back what was there before, in reverse order, when it goes away. Not
// for tests whose threads read the environment meanwhile.
class TScopedEnv {
public:
    TScopedEnv() = default;
    TScopedEnv(const char* name, const char* value) { Set(name, value); }
    ~TScopedEnv() {
        for (auto it = m_lstSaved.rbegin(); it != m_lstSaved.rend(); ++it) {
            if (it->second) SetEnvVar(it->first.c_str(), it->second->c_str());
            else UnsetEnvVar(it->first.c_str());
        }
    }
    TScopedEnv(const TScopedEnv&) = delete;
    TScopedEnv& operator=(const TScopedEnv&) = delete;

    void Set(const char* name, const char* value) {
        const char* old = std::getenv(name);
        m_lstSaved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        if (value != nullptr) SetEnvVar(name, value);
        else UnsetEnvVar(name);
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> m_lstSaved;
};

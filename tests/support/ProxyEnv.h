#pragma once
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/EnvVar.h"

// Clears the four proxy variables (https_proxy, HTTPS_PROXY, http_proxy,
// HTTP_PROXY) for one test and puts them back as they were when it ends, so
// that a proxy set on the developer's machine never reaches a test.
class TProxyEnv {
public:
    TProxyEnv() {
        for (const char* name : {"https_proxy", "HTTPS_PROXY", "http_proxy", "HTTP_PROXY"}) {
            const char* value = std::getenv(name);
            m_lstSaved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
            UnsetEnvVar(name);
        }
    }
    ~TProxyEnv() {
        for (const auto& [name, value] : m_lstSaved) {
            if (value) SetEnvVar(name.c_str(), value->c_str());
            else UnsetEnvVar(name.c_str());
        }
    }
    void Set(const char* name, const char* value) {
        if (value) SetEnvVar(name, value);
        else UnsetEnvVar(name);
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> m_lstSaved;
};

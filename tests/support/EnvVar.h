#pragma once
#include <cstdlib>

// Setting and removing an environment variable the same way on every system.
// Windows cannot hold an empty value: setting "" removes the variable there.
inline void SetEnvVar(const char* name, const char* value) {
#ifdef _WIN32
    _putenv_s(name, value);
#else
    setenv(name, value, 1);
#endif
}

inline void UnsetEnvVar(const char* name) {
#ifdef _WIN32
    _putenv_s(name, "");
#else
    unsetenv(name);
#endif
}

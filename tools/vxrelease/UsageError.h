#pragma once
#include <stdexcept>

// The command line is wrong: the tool prints the message and its usage and
// exits with kExitUsage.
class TUsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

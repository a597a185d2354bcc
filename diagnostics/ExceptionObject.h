#pragma once
#include <exception>
#include <string>

// Error reports. SilentException is called by the installer thread and the
// workers from their own exception blocks; it never raises to its caller.
class TExceptionObject {
public:
    static void SilentException(const std::exception& e) noexcept;
    // For callers that report a failure of their own making.
    static void SilentException(const std::string& message) noexcept;
};

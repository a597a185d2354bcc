#include "diagnostics/ExceptionObject.h"

#include "diagnostics/Log.h"

// Until reports are delivered to the error service, a silent report is kept in
// the log, where support finds it next to the run's other entries.
void TExceptionObject::SilentException(const std::exception& e) noexcept { SilentException(std::string(e.what())); }

void TExceptionObject::SilentException(const std::string& message) noexcept {
    try {
        AppendLog("TExceptionObject.SilentException: " + message);
    } catch (...) {
        // Nothing to do: the report itself could not be built.
    }
}

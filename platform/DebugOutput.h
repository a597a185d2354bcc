#pragma once
#include <string_view>

// The debugger-output channel: diagnostic lines meant for a developer, never
// for the log. On Linux they go to stderr, and only when the environment
// variable VX_DEBUG_OUTPUT is set to a non-empty value, so ordinary runs stay quiet.
void DebugOutput(std::string_view text) noexcept;

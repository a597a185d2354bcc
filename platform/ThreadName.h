#pragma once
#include <string>

// Names the calling thread for debuggers, crash dumps and process listings.
// Only a hint: a name the system refuses (Linux takes at most 15 bytes) leaves
// the thread as it was.
void SetCurrentThreadName(const std::string& name) noexcept;

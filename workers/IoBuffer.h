#pragma once
#include <span>

// The calling thread's buffer for reading and writing files, 256 KiB: large
// enough that a digest or an unpacking is bound by the data, not by system
// calls. Allocated once per thread and never cleared, so that thousands of
// small files cost no allocation and no page faults each. Its content is
// whatever the last user left; a caller must not hold it across a call that
// may use it too.
std::span<char> ThreadIoBuffer();

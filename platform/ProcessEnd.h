#pragma once

// Ends the process at once with `code`: no static destructors and no
// exit handlers run, so threads that are still working (and never told to
// stop) cannot trip over objects torn down under them. Output buffered by
// the C library is flushed first.
[[noreturn]] void EndProcessNow(int code) noexcept;

// Whether standard output goes to a terminal (progress may then redraw a line).
bool StandardOutputIsTerminal() noexcept;

#pragma once
#include <string>
#include <string_view>
#include <vector>

// The log lines every floor writes. The log file itself belongs to a floor
// above this one, so it installs itself here as the process's writer; until
// one is installed (and after it goes) lines are dropped, as a log that is
// not open drops them.

// What takes the lines. Both calls may come from any thread at any time and
// must never throw.
class ILogLineWriter {
public:
    virtual void Append(std::string_view text) noexcept = 0;
    virtual void AppendLines(const std::vector<std::string>& lines) noexcept = 0;

protected:
    ~ILogLineWriter() = default;
};

// Makes `writer` (nullptr: none) the process's writer and returns the one it
// replaces. A writer must stay alive until it has been replaced.
ILogLineWriter* SetLogLineWriter(ILogLineWriter* writer) noexcept;
// Replaces `writer` by none, but only while it is still the installed one.
void RemoveLogLineWriter(ILogLineWriter* writer) noexcept;

// Appends one entry to the process log; callable from any thread at any time.
void AppendLog(std::string_view text) noexcept;
// Appends one entry of several lines: the first carries the time, the others
// are continuation lines.
void AppendLogLines(const std::vector<std::string>& lines) noexcept;

// "True" or "False", as log lines write Booleans.
inline const char* BoolText(bool b) { return b ? "True" : "False"; }

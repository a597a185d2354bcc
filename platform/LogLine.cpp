#include "platform/LogLine.h"

#include <atomic>

namespace {

// Lines come from every thread; the writer is a process-wide object that
// outlives them, so an atomic pointer is all the hand-over needs.
std::atomic<ILogLineWriter*> g_Writer{nullptr};

}  // namespace

ILogLineWriter* SetLogLineWriter(ILogLineWriter* writer) noexcept { return g_Writer.exchange(writer); }

void RemoveLogLineWriter(ILogLineWriter* writer) noexcept {
    ILogLineWriter* expected = writer;
    g_Writer.compare_exchange_strong(expected, nullptr);
}

void AppendLog(std::string_view text) noexcept {
    if (ILogLineWriter* writer = g_Writer.load()) writer->Append(text);
}

void AppendLogLines(const std::vector<std::string>& lines) noexcept {
    if (ILogLineWriter* writer = g_Writer.load()) writer->AppendLines(lines);
}

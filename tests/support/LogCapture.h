#pragma once
#include <chrono>
#include <string>
#include <vector>

#include "support/TempDir.h"

// Points the process log at a fresh file for one test and reads it back.
// Entries are returned without their time stamp; continuation lines stand as
// lines of their own.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();

    std::vector<std::string> Lines() const;
    // Entries containing `text`.
    std::vector<std::string> Matching(const std::string& text) const;
    size_t CountContaining(const std::string& text) const { return Matching(text).size(); }
    bool Contains(const std::string& text) const { return CountContaining(text) > 0; }
    bool WaitForLine(const std::string& text, size_t count = 1,
                     std::chrono::milliseconds timeout = std::chrono::seconds(20)) const;
    std::string Raw() const;

private:
    TempDir m_Dir;
};

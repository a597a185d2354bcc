#include "support/LogCapture.h"

#include <regex>
#include <thread>

#include "diagnostics/Log.h"

LogCapture::LogCapture() : m_Dir("vxlog") { ProcessLog().OpenPath(m_Dir / "test.log"); }

LogCapture::~LogCapture() { ProcessLog().Close(); }

std::string LogCapture::Raw() const { return ReadFileText(m_Dir / "test.log"); }

std::vector<std::string> LogCapture::Lines() const {
    static const std::regex stamp(R"(^\d{2}:\d{2}:\d{2}\.\d{3}: )");
    std::vector<std::string> lines;
    std::string text = Raw();
    size_t start = 0;
    for (size_t pos; (pos = text.find("\r\n", start)) != std::string::npos; start = pos + 2)
        lines.push_back(std::regex_replace(text.substr(start, pos - start), stamp, "",
                                           std::regex_constants::format_first_only));
    return lines;
}

std::vector<std::string> LogCapture::Matching(const std::string& text) const {
    std::vector<std::string> result;
    for (auto& line : Lines())
        if (line.find(text) != std::string::npos) result.push_back(line);
    return result;
}

bool LogCapture::WaitForLine(const std::string& text, size_t count, std::chrono::milliseconds timeout) const {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (CountContaining(text) < count) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

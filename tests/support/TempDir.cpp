#include "support/TempDir.h"

#include <stdlib.h>

#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#ifdef _WIN32
// Windows has no mkdtemp: a random name, taken only if nobody has it yet.
TempDir::TempDir(const std::string& prefix) {
    std::random_device random;
    for (int nTry = 0; nTry < 100; ++nTry) {
        const std::filesystem::path candidate =
            std::filesystem::temp_directory_path() / (prefix + "-" + std::to_string(random() % 1000000000u));
        if (std::filesystem::create_directory(candidate)) {
            m_Path = candidate;
            return;
        }
    }
    throw std::runtime_error("no free temporary folder name for " + prefix);
}
#else
TempDir::TempDir(const std::string& prefix) {
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    m_Path = pattern;
}
#endif

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_Path, ec);
}

std::string ReadFileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteFileText(const std::filesystem::path& path, const std::string& text) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out << text;
}

#include "base/InstallationName.h"

namespace {

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7f; }

bool IsForbiddenInFileNames(char c) { return std::string_view("/\\<>:\"|?*").find(c) != std::string_view::npos; }

}  // namespace

bool IsSafeInstallationName(std::string_view name) {
    if (name == "." || name == "..") return false;
    if (!name.empty() && name.back() == '.') return false;
    for (char c : name)
        if (IsControl(static_cast<unsigned char>(c)) || IsForbiddenInFileNames(c)) return false;
    return true;
}

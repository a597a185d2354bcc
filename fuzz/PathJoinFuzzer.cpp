// Joins arbitrary text to a base folder as the installer joins paths from the
// release description and from packages. What is accepted must stay under the
// base, be made of plain components and convert to itself again; what is
// refused must be refused for a reason: a leading separator, a ".." component
// or a character a Windows path may not hold.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/PathJoin.h"

namespace fs = std::filesystem;

namespace {

const fs::path kBase = "/srv/orladesk/temp";

[[noreturn]] void Fault(const std::string& what, std::string_view input) {
    std::fprintf(stderr, "path join fuzzer: %s: [%.*s]\n", what.c_str(), static_cast<int>(input.size()), input.data());
    std::abort();
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool HasParentComponent(std::string_view text) {
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = start;
        while (end < text.size() && !IsSeparator(text[end])) ++end;
        if (text.substr(start, end - start) == "..") return true;
        start = end + 1;
    }
    return false;
}

bool HasForbiddenChar(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        return static_cast<unsigned char>(c) < 32 || std::strchr("<>:\"|?*", c) != nullptr;
    });
}

bool MustBeRefused(std::string_view text) {
    return (!text.empty() && IsSeparator(text.front())) || HasParentComponent(text) || HasForbiddenChar(text);
}

void CheckAccepted(std::string_view input, const fs::path& joined) {
    if (MustBeRefused(input)) Fault("accepted", input);
    const fs::path rel = joined.lexically_relative(kBase);
    if (joined == kBase) return;
    if (rel.empty() || rel.is_absolute() || joined != kBase / rel) Fault("left the base: " + joined.string(), input);
    for (const auto& part : rel)
        if (part.empty() || part == "." || part == ".." || HasForbiddenChar(part.string()))
            Fault("kept the component [" + part.string() + "]", input);
    if (ToNativeRelative(rel.string()) != rel) Fault("converts to something else again: " + rel.string(), input);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    fs::path joined;
    try {
        joined = JoinPath(kBase, input);
    } catch (const std::runtime_error& e) {
        if (std::strcmp(e.what(), "Invalid characters in path") != 0)
            Fault(std::string("refused with ") + e.what(), input);
        if (!MustBeRefused(input)) Fault("refused", input);
        return 0;
    }
    CheckAccepted(input, joined);
    return 0;
}

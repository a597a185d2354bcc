// Unpacks arbitrary bytes as a downloaded package into a fresh scratch folder.
// Besides the sanitizers it checks that nothing is written outside the scratch
// folder (not even for a moment), that a failed unpacking leaves no file
// behind, that a successful one leaves exactly the file it names, and that no
// package unpacks to more than the size limit it was given.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "fuzz/ScratchFolder.h"
#include "workers/PackageUnpacker.h"

namespace fs = std::filesystem;

namespace {

// Far below the installer's own limit, so that a package the fuzzer blows up
// costs milliseconds; the limit is what is checked, not its value.
constexpr uint64_t kMaxUnpacked = 8 * 1024 * 1024;

[[noreturn]] void Fault(const std::string& what) {
    std::fprintf(stderr, "extract fuzzer: %s\n", what.c_str());
    std::abort();
}

bool IsUnder(const fs::path& path, const fs::path& folder) {
    const fs::path rel = path.lexically_normal().lexically_relative(folder);
    return !rel.empty() && *rel.begin() != ".." && *rel.begin() != ".";
}

void CheckNothingOutside(TScratchFolder& scratch) {
    const auto changes = scratch.ChangesOutside();
    if (!changes.empty()) Fault("written outside the scratch folder: " + changes.front());
}

void CheckUnpacked(const TScratchFolder& scratch, const fs::path& target, const fs::path& unpacked) {
    if (!IsUnder(unpacked, target)) Fault("unpacked outside the target: " + unpacked.string());
    const auto found = scratch.NonFolders();
    if (found.size() != 1 || found.front() != unpacked)
        Fault("the target holds something else than " + unpacked.string());
    if (!fs::is_regular_file(fs::symlink_status(unpacked))) Fault("not a regular file: " + unpacked.string());
    if (fs::file_size(unpacked) > kMaxUnpacked) Fault("unpacked beyond the limit: " + unpacked.string());
}

void CheckNothingLeft(const TScratchFolder& scratch) {
    const auto found = scratch.NonFolders();
    if (!found.empty()) Fault("a failed unpacking left " + found.front().string());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TScratchFolder scratch;
    const fs::path& target = scratch.Fresh();
    const std::string package(reinterpret_cast<const char*>(data), size);
    std::optional<fs::path> unpacked;
    try {
        unpacked = ExtractFirstEntry(package, target, kMaxUnpacked);
    } catch (const std::runtime_error&) {
        // EFCreateError included: both are refusals the worker handles.
    }
    CheckNothingOutside(scratch);
    if (unpacked)
        CheckUnpacked(scratch, target, *unpacked);
    else
        CheckNothingLeft(scratch);
    return 0;
}

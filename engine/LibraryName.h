#pragma once
#include <string_view>

// Whether a file name ends in ".dll" in any letter case, as the pattern "*.dll"
// matches on Windows. The release's keep-list and the clean-up of libraries it
// no longer has must agree on this rule, or a release's "X.DLL" is deleted and
// fetched again on every update.
bool IsLibraryFileName(std::string_view name);

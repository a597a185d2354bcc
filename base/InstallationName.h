#pragma once
#include <string_view>

// The one rule for the name of an installation, however it arrives: typed in
// the wizard, given on the command line, or read back from the registry. The
// name becomes part of the installation folder ("<product>_<name>") directly
// under the company folder, where a new installation deletes what is in its
// way and an update rewrites and removes files; a name that could lead that
// folder anywhere else must never reach it.
//
// Refused: a separator of either kind (Windows reads both), a name that is
// "." or "..", control characters, the characters Windows forbids in file
// names (< > : " | ? *), and a final "." (Windows drops it, so "x." would be
// the folder of the installation "x"). Blanks and the empty name are left to
// the callers, which treat them differently.
bool IsSafeInstallationName(std::string_view name);

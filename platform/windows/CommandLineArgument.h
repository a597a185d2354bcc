#pragma once
#include <string>

// One argument of a Windows command line, quoted so that the C runtime's
// parser (and CommandLineToArgvW) gives it back unchanged: left as it is when
// it holds no blank, tab, line break or '"' and is not empty; otherwise put in
// quotes, with '"' escaped and the back-slashes before a '"' or the closing
// quote doubled.
std::string CommandLineArgument(const std::string& argument);

#pragma once
#include <string>
#include <vector>

// The words the program was started with, the program's own path first, in
// UTF-8 whatever the system's code page: Windows hands main() its words in the
// ANSI code page, so they are read again from the wide command line there.
std::vector<std::string> ProgramArguments(int argc, char** argv);

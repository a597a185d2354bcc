#pragma once
#include <string>
#include <vector>

// `vxrelease sign TREE --sign-key KEY ...`: the arguments after the command's name; gives the exit code.
int RunSignCommand(const std::vector<std::string>& args);

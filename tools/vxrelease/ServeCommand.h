#pragma once
#include <string>
#include <vector>

// `vxrelease serve TREE ...`: the arguments after the command's name; gives the exit code.
int RunServeCommand(const std::vector<std::string>& args);

#pragma once
#include <string>
#include <vector>

// `vxrelease keygen --out KEY`: the arguments after the command's name; gives the exit code.
int RunKeygenCommand(const std::vector<std::string>& args);

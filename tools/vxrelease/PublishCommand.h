#pragma once
#include <string>
#include <vector>

// `vxrelease publish SOURCE ...`: the arguments after the command's name; gives the exit code.
int RunPublishCommand(const std::vector<std::string>& args);

#include "platform/windows/CommandLineArgument.h"

std::string CommandLineArgument(const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) return argument;
    std::string quoted = "\"";
    size_t nBackslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++nBackslashes;
            continue;
        }
        // Back-slashes mean themselves unless a '"' follows them.
        if (c == '"')
            quoted.append(nBackslashes * 2 + 1, '\\');
        else
            quoted.append(nBackslashes, '\\');
        nBackslashes = 0;
        quoted += c;
    }
    quoted.append(nBackslashes * 2, '\\');
    quoted += '"';
    return quoted;
}

// vxreg: the Windows "reg" command for the current user's hive, so that users,
// scripts and tests can look at and change what the installer registers.
#include <iostream>
#include <string>
#include <vector>

#include "RegArguments.h"
#include "RegCommands.h"
#include "platform/Hives.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    try {
        TRegRequest request = ParseRegArguments(args);
        if (request.nOperation == TRegRequest::roHelp) {
            std::cout << "vxreg: the Windows \"reg\" command for the current user's registry hive.\n\n"
                      << kRegShortUsage << kRegUsageDetails;
            return 0;
        }
        auto hive = OpenCurrentUserHive();
        TRegCommands commands(*hive, std::cout, std::cin);
        return commands.Run(request);
    } catch (const TRegSyntaxError& e) {
        std::cerr << e.what() << "\n\n" << kRegShortUsage << "\nType \"vxreg /?\" for the details.\n";
    } catch (const TRegKeyNameError& e) {
        std::cerr << e.what() << "\n";
    } catch (const TRegFailure& e) {
        std::cerr << e.what() << "\n";
    } catch (const std::exception& e) {
        std::cerr << "ERROR: " << e.what() << "\n";
    }
    return 1;
}

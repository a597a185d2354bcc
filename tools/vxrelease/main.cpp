// vxrelease: publishes a product folder as a release that a plain static web
// server can serve, signs published releases, and serves such a release for
// demos and tests.
#include <functional>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "release/PublishError.h"
#include "tools/vxrelease/ExitCodes.h"
#include "tools/vxrelease/KeygenCommand.h"
#include "tools/vxrelease/PublishCommand.h"
#include "tools/vxrelease/ServeCommand.h"
#include "tools/vxrelease/SignCommand.h"
#include "tools/vxrelease/UsageError.h"

namespace {

const char* const kUsage =
    "Usage:\n"
    "  vxrelease publish SOURCE --product CODE --version A.B.C.D --channel CHANNEL --out TREE [options]\n"
    "  vxrelease sign TREE --sign-key KEY [--expires DAYS]\n"
    "  vxrelease keygen --out KEY\n"
    "  vxrelease serve TREE [--bind ADDRESS] [--port N]\n"
    "  vxrelease COMMAND --help\n";

struct TCommand {
    std::function<int(const std::vector<std::string>&)> run;
    const char* refusalOutcome;  // what a refusal leaves, for the person who asked
};

const std::map<std::string, TCommand>& Commands() {
    static const std::map<std::string, TCommand> commands{
        {"publish", {RunPublishCommand, "Nothing was published."}},
        {"sign", {RunSignCommand, "Nothing was signed."}},
        {"keygen", {RunKeygenCommand, "No key was written."}},
        {"serve", {RunServeCommand, "Nothing was served."}},
    };
    return commands;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        (args.empty() ? std::cerr : std::cout) << kUsage;
        return args.empty() ? kExitUsage : kExitOk;
    }
    const std::string name = args[0];
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    const auto command = Commands().find(name);
    try {
        if (command == Commands().end()) throw TUsageError("unknown command \"" + name + "\"");
        return command->second.run(rest);
    } catch (const TUsageError& e) {
        std::cerr << "vxrelease: " << e.what() << "\n" << kUsage;
        return kExitUsage;
    } catch (const TPublishError& e) {
        std::cerr << "vxrelease " << name << ": refused: " << e.what() << "\n" << command->second.refusalOutcome << "\n";
        return kExitFailed;
    } catch (const std::exception& e) {
        std::cerr << "vxrelease " << name << ": failed: " << e.what() << "\n";
        return kExitFailed;
    }
}

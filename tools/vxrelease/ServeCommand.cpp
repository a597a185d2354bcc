#include "tools/vxrelease/ServeCommand.h"


#include "tools/vxrelease/CommandArgs.h"
#include "tools/vxrelease/ExitCodes.h"
#include "tools/vxrelease/ReleaseServer.h"
#include "tools/vxrelease/UsageError.h"

namespace {

const char* const kServeHelp =
    "Usage: vxrelease serve TREE [--bind ADDRESS] [--port N]\n"
    "\n"
    "Serves a published tree over HTTP for demos and tests (production uses deploy/nginx.conf).\n"
    "  --bind ADDRESS   address to listen on (default 127.0.0.1)\n"
    "  --port N         port (default 8080); 0 picks a free one\n"
    "Prints \"Listening on http://ADDRESS:PORT\" once bound, logs one line per request on stderr,\n"
    "and stops on SIGINT or SIGTERM.\n";

}  // namespace

int RunServeCommand(const std::vector<std::string>& rest) {
    TArgs args(rest, {"help"});
    if (HelpAsked(args, kServeHelp)) return kExitOk;
    args.OnlyKnown({"bind", "port", "help"});
    if (args.Positional().size() != 1) throw TUsageError("serve takes exactly one published tree");
    TServeOptions options;
    options.pathTree = args.Positional().front();
    options.strBind = args.One("bind", "127.0.0.1");
    options.nPort = static_cast<int>(ParseCount(args.One("port", "8080"), "--port", 0, 65535));
    return RunReleaseServer(options);
}

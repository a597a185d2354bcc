#include "tools/vxrelease/SignCommand.h"

#include <iostream>

#include "release/ReleaseSigner.h"
#include "tools/vxrelease/CommandArgs.h"
#include "tools/vxrelease/ExitCodes.h"
#include "tools/vxrelease/UsageError.h"

namespace {

const char* const kSignHelp =
    "Usage: vxrelease sign TREE --sign-key KEY [--expires DAYS]\n"
    "\n"
    "Signs the published tree TREE again with a new expiry, without publishing: every version\n"
    "document under TREE/version/ is told which query its path answers, when it expires and the\n"
    "SHA-256 of its files and packages, written back and signed (<document>.sig); version.txt gets\n"
    "version.txt.sig. Packages are never touched. An unsigned tree becomes a signed one this way.\n"
    "Signed documents must be signed again before they expire, e.g. daily from cron.\n"
    "\n"
    "  --sign-key KEY   the Ed25519 private key (PEM), as written by `vxrelease keygen`\n"
    "  --expires DAYS   days the documents stay valid (default 30, 1 to 3650)\n"
    "  --help           this text\n"
    "\n"
    "Everything is checked before anything is written (a missing or altered package, a document\n"
    "that cannot be read, a bad key). Exit codes: 0 signed, 1 refused or failed, 2 usage error.\n";

}  // namespace

int RunSignCommand(const std::vector<std::string>& rest) {
    TArgs args(rest, {"help"});
    if (HelpAsked(args, kSignHelp)) return kExitOk;
    args.OnlyKnown({"sign-key", "expires", "help"});
    if (args.Positional().size() != 1) throw TUsageError("sign takes exactly one published tree");
    TSignRequest request;
    request.pathTree = args.Positional().front();
    request.pathSigningKey = args.Required("sign-key");
    if (request.pathSigningKey.empty()) throw TUsageError("--sign-key wants a key file");
    request.nExpiryDays = ParseExpiryDays(args);
    const TSignSummary summary = SignReleaseTree(request);
    std::cout << "Signed " << summary.nDocuments << " documents"
              << (summary.bVersionTxtSigned ? " and version.txt" : "") << ", expiring " << summary.strExpires << "\n";
    return kExitOk;
}

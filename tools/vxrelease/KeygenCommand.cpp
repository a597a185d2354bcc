#include "tools/vxrelease/KeygenCommand.h"

#include <iostream>
#include <system_error>

#include "release/AtomicFile.h"
#include "release/PublishError.h"
#include "release/SigningKey.h"
#include "tools/vxrelease/CommandArgs.h"
#include "tools/vxrelease/ExitCodes.h"
#include "tools/vxrelease/UsageError.h"

namespace fs = std::filesystem;

namespace {

const char* const kKeygenHelp =
    "Usage: vxrelease keygen --out KEY\n"
    "\n"
    "Makes an Ed25519 release key: the private key goes to KEY (PEM, PKCS#8, readable by its\n"
    "owner only), the public key to KEY.pub (one line: base64 of its 32 bytes), and the public\n"
    "key is printed. An edition of the installer trusts the printed line (VX_RELEASE_PUBLIC_KEYS).\n"
    "Existing files are never overwritten. Keep KEY secret and out of the published tree.\n"
    "\n"
    "Exit codes: 0 written, 1 refused or failed, 2 usage error.\n";

void RefuseExisting(const fs::path& path) {
    std::error_code ec;
    if (fs::exists(fs::symlink_status(path, ec)))
        throw TPublishError("\"" + path.string() + "\" exists already; a key is never overwritten");
}

// The private key first: should the public one fail, no key half made stays behind.
void WriteKeyFiles(const TSigningKey& key, const fs::path& keyPath, const fs::path& publicPath) {
    CreateFileAtomically(keyPath, key.PrivatePem(), 0600);
    try {
        CreateFileAtomically(publicPath, key.PublicKeyBase64() + "\n", 0644);
    } catch (...) {
        std::error_code ec;
        fs::remove(keyPath, ec);
        throw;
    }
}

}  // namespace

int RunKeygenCommand(const std::vector<std::string>& rest) {
    TArgs args(rest, {"help"});
    if (HelpAsked(args, kKeygenHelp)) return kExitOk;
    args.OnlyKnown({"out", "help"});
    if (!args.Positional().empty()) throw TUsageError("keygen takes no other argument than --out KEY");
    const fs::path keyPath = args.Required("out");
    if (keyPath.empty()) throw TUsageError("--out wants a file name");
    const fs::path publicPath = fs::path(keyPath) += ".pub";
    RefuseExisting(keyPath);
    RefuseExisting(publicPath);
    const TSigningKey key = TSigningKey::Generate();
    WriteKeyFiles(key, keyPath, publicPath);
    std::cout << key.PublicKeyBase64() << "\n";
    return kExitOk;
}

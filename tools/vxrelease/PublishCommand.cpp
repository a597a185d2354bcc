#include "tools/vxrelease/PublishCommand.h"

#include <iostream>
#include <map>

#include "release/ReleasePublisher.h"
#include "tools/vxrelease/CommandArgs.h"
#include "tools/vxrelease/ExitCodes.h"
#include "tools/vxrelease/UsageError.h"

namespace {

const char* const kPublishHelp =
    "Usage: vxrelease publish SOURCE --product CODE --version A.B.C.D --channel CHANNEL --out TREE [options]\n"
    "\n"
    "Turns the product folder SOURCE into a release under TREE that any static web server can serve:\n"
    "  files/<md5>                                    one-entry zip package of each file\n"
    "  version/<product>/<from>/to/<channel>/<locale>[_x64]   the version document, for every from-channel\n"
    "  produtos/bin/newvantix/version.txt             with --installer-version\n"
    "\n"
    "Required:\n"
    "  --product CODE            product word, lower-case (orladesk)\n"
    "  --version A.B.C.D         four whole numbers\n"
    "  --channel CHANNEL         stable, beta, staging, alpha or rarely\n"
    "  --out TREE                the published tree (created when missing, shared between releases)\n"
    "\n"
    "Options:\n"
    "  --method METHOD           auto (default), lzma, deflate or store; auto picks per file whatever\n"
    "                            makes it smallest and stores what does not compress\n"
    "  --file-product PATH=CODE  the file or folder PATH (relative, \"/\" separators) belongs to product\n"
    "                            CODE only; may be repeated\n"
    "  --products LIST           the document's \"products\", comma-separated (default: the product)\n"
    "  --changes FILE            change log: a UTF-8 text file, one entry a line\n"
    "  --video TEXT              the document's \"video\" value (default empty)\n"
    "  --bugged                  mark the release as faulty (\"bugged\": true)\n"
    "  --is-latest               mark the release as the latest (\"is_latest\": true)\n"
    "  --locale LOCALE           locale of the documents; may be repeated (default pt-br)\n"
    "  --variants WHICH          both (default), plain (LOCALE only) or x64 (LOCALE_x64 only)\n"
    "  --installer-version M.N   write version.txt holding M.N (the newest installer)\n"
    "  --jobs N                  compression threads (default: one per core)\n"
    "  --sign-key KEY            sign the release with the Ed25519 key in the PEM file KEY (see\n"
    "                            `vxrelease keygen`): each document then says which query it answers,\n"
    "                            when it expires and the SHA-256 of every file and package, and gets a\n"
    "                            detached signature <document>.sig; version.txt gets version.txt.sig\n"
    "  --expires DAYS            with --sign-key: days the documents stay valid (default 30, 1 to 3650);\n"
    "                            re-sign before then with `vxrelease sign`\n"
    "  --help                    this text\n"
    "\n"
    "Exit codes: 0 published (or nothing to change), 1 refused or failed (nothing published), 2 usage error.\n";

TPackCompression ParseMethod(const TArgs& args) {
    static const std::map<std::string, TPackCompression> methods{{"auto", TPackCompression::pcAuto},
                                                                 {"lzma", TPackCompression::pcLzma},
                                                                 {"deflate", TPackCompression::pcDeflate},
                                                                 {"store", TPackCompression::pcStore}};
    const std::string method = args.One("method", "auto");
    if (!methods.count(method)) throw TUsageError("--method must be auto, lzma, deflate or store");
    return methods.at(method);
}

TArchVariants ParseVariants(const TArgs& args) {
    static const std::map<std::string, TArchVariants> variants{
        {"both", TArchVariants::avBoth}, {"plain", TArchVariants::avPlain}, {"x64", TArchVariants::avX64}};
    const std::string variant = args.One("variants", "both");
    if (!variants.count(variant)) throw TUsageError("--variants must be both, plain or x64");
    return variants.at(variant);
}

std::vector<std::pair<std::string, std::string>> ParseFileProducts(const TArgs& args) {
    std::vector<std::pair<std::string, std::string>> rules;
    for (const std::string& rule : args.All("file-product")) {
        const std::size_t eq = rule.rfind('=');
        if (eq == std::string::npos || eq == 0 || eq + 1 == rule.size())
            throw TUsageError("--file-product wants PATH=PRODUCT, not \"" + rule + "\"");
        rules.emplace_back(rule.substr(0, eq), rule.substr(eq + 1));
    }
    return rules;
}

void ParseSigning(const TArgs& args, TPublishRequest& request) {
    if (args.Has("expires") && !args.Has("sign-key")) throw TUsageError("--expires needs --sign-key");
    if (args.Has("sign-key") && args.One("sign-key").empty()) throw TUsageError("--sign-key wants a key file");
    request.pathSigningKey = args.One("sign-key");
    request.nExpiryDays = ParseExpiryDays(args);
}

TPublishRequest ParsePublish(const TArgs& args) {
    args.OnlyKnown({"product", "version", "channel", "out", "method", "file-product", "products", "changes", "video",
                    "bugged", "is-latest", "locale", "variants", "installer-version", "jobs", "sign-key", "expires",
                    "help"});
    if (args.Positional().size() != 1) throw TUsageError("publish takes exactly one product folder");
    TPublishRequest request;
    request.pathSource = args.Positional().front();
    request.strProduct = args.Required("product");
    request.strVersion = args.Required("version");
    request.strChannel = args.Required("channel");
    request.pathOut = args.Required("out");
    request.compression = ParseMethod(args);
    request.arFileProducts = ParseFileProducts(args);
    if (args.Has("products")) request.arProducts = SplitList(args.One("products"));
    request.pathChangeLog = args.One("changes");
    request.strVideo = args.One("video");
    request.bBugged = args.Has("bugged");
    request.bIsLatest = args.Has("is-latest");
    if (args.Has("locale")) request.arLocales = args.All("locale");
    request.variants = ParseVariants(args);
    request.strInstallerVersion = args.One("installer-version");
    if (args.Has("installer-version") && request.strInstallerVersion.empty())
        throw TUsageError("--installer-version wants MAJOR.MINOR");
    if (args.Has("jobs")) request.nJobs = ParseCount(args.One("jobs"), "--jobs", 0, 1024);
    ParseSigning(args, request);
    return request;
}

}  // namespace

int RunPublishCommand(const std::vector<std::string>& rest) {
    TArgs args(rest, {"bugged", "is-latest", "help"});
    if (HelpAsked(args, kPublishHelp)) return kExitOk;
    TPublishRequest request = ParsePublish(args);
    TPublishSummary summary = PublishRelease(request);
    std::cout << "Published " << request.strProduct << " " << request.strVersion << " to " << request.strChannel << ": "
              << summary.nFiles << " files, " << summary.nPackagesWritten << " packages written ("
              << summary.nPackageBytesWritten << " bytes), " << summary.nPackagesReused << " reused, "
              << summary.nDocumentsWritten << " documents written, " << summary.nDocumentsUnchanged << " unchanged"
              << (summary.bVersionTxtWritten ? ", version.txt written" : "")
              << (summary.strExpires.empty() ? "" : ", signed, expiring " + summary.strExpires) << "\n";
    return kExitOk;
}

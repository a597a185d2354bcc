// vxrelease: publishes a product folder as a release that a plain static web
// server can serve, and serves such a release for demos and tests.
#include <algorithm>
#include <iostream>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "release/PublishError.h"
#include "release/ReleasePublisher.h"
#include "tools/vxrelease/ReleaseServer.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

const char* const kUsage =
    "Usage:\n"
    "  vxrelease publish SOURCE --product CODE --version A.B.C.D --channel CHANNEL --out TREE [options]\n"
    "  vxrelease serve TREE [--bind ADDRESS] [--port N]\n"
    "  vxrelease publish --help | vxrelease serve --help\n";

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
    "  --help                    this text\n"
    "\n"
    "Exit codes: 0 published (or nothing to change), 1 refused or failed (nothing published), 2 usage error.\n";

const char* const kServeHelp =
    "Usage: vxrelease serve TREE [--bind ADDRESS] [--port N]\n"
    "\n"
    "Serves a published tree over HTTP for demos and tests (production uses deploy/nginx.conf).\n"
    "  --bind ADDRESS   address to listen on (default 127.0.0.1)\n"
    "  --port N         port (default 8080); 0 picks a free one\n"
    "Prints \"Listening on http://ADDRESS:PORT\" once bound, logs one line per request on stderr,\n"
    "and stops on SIGINT or SIGTERM.\n";

class TUsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Splits "--name=value" / "--name value" arguments; flags take no value.
class TArgs {
public:
    TArgs(const std::vector<std::string>& args, const std::vector<std::string>& flags) {
        for (std::size_t i = 0; i < args.size(); ++i) {
            const std::string& arg = args[i];
            if (arg.rfind("--", 0) != 0) {
                m_arPositional.push_back(arg);
                continue;
            }
            std::string name = arg.substr(2), value;
            const std::size_t eq = name.find('=');
            const bool isFlag = std::find(flags.begin(), flags.end(), name) != flags.end();
            if (eq != std::string::npos) {
                value = name.substr(eq + 1);
                name.resize(eq);
            } else if (!isFlag) {
                if (i + 1 >= args.size()) throw TUsageError("--" + name + " needs a value");
                value = args[++i];
            }
            m_mapValues[name].push_back(value);
        }
    }

    bool Has(const std::string& name) const { return m_mapValues.count(name) > 0; }
    std::vector<std::string> All(const std::string& name) const {
        auto it = m_mapValues.find(name);
        return it == m_mapValues.end() ? std::vector<std::string>{} : it->second;
    }
    std::string One(const std::string& name, const std::string& fallback = "") const {
        std::vector<std::string> values = All(name);
        if (values.size() > 1) throw TUsageError("--" + name + " given more than once");
        return values.empty() ? fallback : values.front();
    }
    std::string Required(const std::string& name) const {
        if (!Has(name)) throw TUsageError("--" + name + " is required");
        return One(name);
    }
    void OnlyKnown(const std::vector<std::string>& known) const {
        for (const auto& [name, values] : m_mapValues)
            if (std::find(known.begin(), known.end(), name) == known.end())
                throw TUsageError("unknown option --" + name);
    }
    const std::vector<std::string>& Positional() const { return m_arPositional; }

private:
    std::map<std::string, std::vector<std::string>> m_mapValues;
    std::vector<std::string> m_arPositional;
};

std::vector<std::string> SplitList(const std::string& text) {
    std::vector<std::string> items;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t comma = text.find(',', start);
        if (comma == std::string::npos) comma = text.size();
        if (comma > start) items.push_back(text.substr(start, comma - start));
        start = comma + 1;
    }
    return items;
}

unsigned ParseCount(const std::string& text, const std::string& what, unsigned max) {
    try {
        std::size_t used = 0;
        unsigned long value = std::stoul(text, &used);
        if (used == text.size() && value <= max && text.find('-') == std::string::npos)
            return static_cast<unsigned>(value);
    } catch (const std::exception&) {
    }
    throw TUsageError(what + " \"" + text + "\" is not a number from 0 to " + std::to_string(max));
}

TPublishRequest ParsePublish(const TArgs& args) {
    args.OnlyKnown({"product", "version", "channel", "out", "method", "file-product", "products", "changes", "video",
                    "bugged", "is-latest", "locale", "variants", "installer-version", "jobs", "help"});
    if (args.Positional().size() != 1) throw TUsageError("publish takes exactly one product folder");
    TPublishRequest request;
    request.pathSource = args.Positional().front();
    request.strProduct = args.Required("product");
    request.strVersion = args.Required("version");
    request.strChannel = args.Required("channel");
    request.pathOut = args.Required("out");

    static const std::map<std::string, TPackCompression> methods{{"auto", TPackCompression::pcAuto},
                                                                 {"lzma", TPackCompression::pcLzma},
                                                                 {"deflate", TPackCompression::pcDeflate},
                                                                 {"store", TPackCompression::pcStore}};
    const std::string method = args.One("method", "auto");
    if (!methods.count(method)) throw TUsageError("--method must be auto, lzma, deflate or store");
    request.compression = methods.at(method);

    for (const std::string& rule : args.All("file-product")) {
        const std::size_t eq = rule.rfind('=');
        if (eq == std::string::npos || eq == 0 || eq + 1 == rule.size())
            throw TUsageError("--file-product wants PATH=PRODUCT, not \"" + rule + "\"");
        request.arFileProducts.emplace_back(rule.substr(0, eq), rule.substr(eq + 1));
    }
    if (args.Has("products")) request.arProducts = SplitList(args.One("products"));
    request.pathChangeLog = args.One("changes");
    request.strVideo = args.One("video");
    request.bBugged = args.Has("bugged");
    request.bIsLatest = args.Has("is-latest");
    if (args.Has("locale")) request.arLocales = args.All("locale");

    static const std::map<std::string, TArchVariants> variants{
        {"both", TArchVariants::avBoth}, {"plain", TArchVariants::avPlain}, {"x64", TArchVariants::avX64}};
    const std::string variant = args.One("variants", "both");
    if (!variants.count(variant)) throw TUsageError("--variants must be both, plain or x64");
    request.variants = variants.at(variant);
    request.strInstallerVersion = args.One("installer-version");
    if (args.Has("installer-version") && request.strInstallerVersion.empty())
        throw TUsageError("--installer-version wants MAJOR.MINOR");
    if (args.Has("jobs")) request.nJobs = ParseCount(args.One("jobs"), "--jobs", 1024);
    return request;
}

int Publish(const std::vector<std::string>& rest) {
    TArgs args(rest, {"bugged", "is-latest", "help"});
    if (args.Has("help")) {
        std::cout << kPublishHelp;
        return kExitOk;
    }
    TPublishRequest request = ParsePublish(args);
    TPublishSummary summary = PublishRelease(request);
    std::cout << "Published " << request.strProduct << " " << request.strVersion << " to " << request.strChannel << ": "
              << summary.nFiles << " files, " << summary.nPackagesWritten << " packages written ("
              << summary.nPackageBytesWritten << " bytes), " << summary.nPackagesReused << " reused, "
              << summary.nDocumentsWritten << " documents written, " << summary.nDocumentsUnchanged << " unchanged"
              << (summary.bVersionTxtWritten ? ", version.txt written" : "") << "\n";
    return kExitOk;
}

int Serve(const std::vector<std::string>& rest) {
    TArgs args(rest, {"help"});
    if (args.Has("help")) {
        std::cout << kServeHelp;
        return kExitOk;
    }
    args.OnlyKnown({"bind", "port", "help"});
    if (args.Positional().size() != 1) throw TUsageError("serve takes exactly one published tree");
    TServeOptions options;
    options.pathTree = args.Positional().front();
    options.strBind = args.One("bind", "127.0.0.1");
    options.nPort = static_cast<int>(ParseCount(args.One("port", "8080"), "--port", 65535));
    return RunReleaseServer(options);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        (args.empty() ? std::cerr : std::cout) << kUsage;
        return args.empty() ? kExitUsage : kExitOk;
    }
    const std::string command = args[0];
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    try {
        if (command == "publish") return Publish(rest);
        if (command == "serve") return Serve(rest);
        throw TUsageError("unknown command \"" + command + "\"");
    } catch (const TUsageError& e) {
        std::cerr << "vxrelease: " << e.what() << "\n" << kUsage;
        return kExitUsage;
    } catch (const TPublishError& e) {
        std::cerr << "vxrelease " << command << ": refused: " << e.what() << "\nNothing was published.\n";
        return kExitFailed;
    } catch (const std::exception& e) {
        std::cerr << "vxrelease " << command << ": failed: " << e.what() << "\n";
        return kExitFailed;
    }
}

#include "RegArguments.h"

#include <algorithm>

const char* const kRegShortUsage =
    "  vxreg query KEY [/v NAME | /ve] [/s]\n"
    "  vxreg add KEY [/v NAME | /ve] [/t REG_SZ|REG_DWORD] [/d DATA] [/f]\n"
    "  vxreg delete KEY [/v NAME | /ve | /va] [/f]\n"
    "  vxreg export KEY FILE [/y]\n";

const char* const kRegUsageDetails =
    "\n"
    "  KEY      HKCU\\Software\\... or HKEY_CURRENT_USER\\Software\\...; no other hive is served.\n"
    "           Key and value names are compared without regard to letter case.\n"
    "  /v NAME  the value NAME.  /ve  the default value, shown as (Default).\n"
    "  /s       query every sub-key too, recursively; with /v, that value wherever it is.\n"
    "  /t TYPE  REG_SZ (text, the default) or REG_DWORD (32-bit number).\n"
    "  /d DATA  the data: text for REG_SZ; decimal or 0x hexadecimal for REG_DWORD (default 0).\n"
    "           add without /v, /ve, /t and /d only creates the key.\n"
    "  /f       add: overwrite an existing value without asking; delete: do not ask.\n"
    "  /va      delete every value of the key and keep its sub-keys.\n"
    "  /y       export: overwrite FILE without asking.\n"
    "  FILE     export writes a .reg file (\"Windows Registry Editor Version 5.00\"), UTF-8, CR LF.\n"
    "\n"
    "  Options are case-insensitive and may also start with '-'. Questions (delete, or\n"
    "  overwriting without /f) read one line from standard input: y or yes goes on,\n"
    "  anything else, or no answer, cancels with exit code 1.\n"
    "\n"
    "  The hive is the SQLite file $VXREG_HKCU, else ${XDG_CONFIG_HOME:-~/.config}/vxreg/HKCU.sqlite.\n"
    "  Exit code 0 on success, 1 on failure with the error on standard error.\n";

namespace {

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    return s;
}

// "/V" and "-v" both give "v"; anything that is not an option gives "".
std::string OptionName(const std::string& arg) {
    if (arg.size() < 2 || (arg[0] != '/' && arg[0] != '-')) return "";
    return Lower(arg.substr(1));
}

TRegRequest::TOperation OperationNamed(const std::string& word) {
    std::string w = Lower(word);
    if (w == "query") return TRegRequest::roQuery;
    if (w == "add") return TRegRequest::roAdd;
    if (w == "delete") return TRegRequest::roDelete;
    if (w == "export") return TRegRequest::roExport;
    throw TRegSyntaxError("ERROR: Invalid syntax.");
}

// Which options each operation takes; the rest are syntax errors.
bool Allows(TRegRequest::TOperation op, const std::string& option) {
    static const std::vector<std::string> query{"v", "ve", "s"}, add{"v", "ve", "t", "d", "f"},
        del{"v", "ve", "va", "f"}, exp{"y"};
    const auto& list = op == TRegRequest::roQuery ? query : op == TRegRequest::roAdd ? add
                     : op == TRegRequest::roDelete ? del : exp;
    return std::find(list.begin(), list.end(), option) != list.end();
}

TRegValue::TType TypeNamed(const std::string& name) {
    std::string n = Lower(name);
    if (n == "reg_sz") return TRegValue::rtString;
    if (n == "reg_dword") return TRegValue::rtDword;
    throw TRegSyntaxError("ERROR: Unsupported type \"" + name + "\": vxreg stores REG_SZ and REG_DWORD only.");
}

void SetOnce(bool& seen, const std::string& option) {
    if (seen) throw TRegSyntaxError("ERROR: Invalid syntax. /" + option + " was given twice.");
    seen = true;
}

}  // namespace

bool SameRegName(const std::string& a, const std::string& b) { return Lower(a) == Lower(b); }

std::vector<std::string> ParseCurrentUserKey(const std::string& key) {
    std::vector<std::string> parts;
    size_t start = 0;
    // A leading back-slash would name a remote machine ("\\host\HKCU") with reg.
    if (!key.empty() && key[0] == '\\') throw TRegKeyNameError("ERROR: Invalid key name.");
    while (start <= key.size()) {
        size_t end = std::min(key.find('\\', start), key.size());
        if (end > start) parts.push_back(key.substr(start, end - start));
        start = end + 1;
    }
    if (parts.empty() || !(SameRegName(parts[0], "HKCU") || SameRegName(parts[0], "HKEY_CURRENT_USER")))
        throw TRegKeyNameError("ERROR: Invalid key name. vxreg serves HKCU (HKEY_CURRENT_USER) only.");
    parts.erase(parts.begin());
    return parts;
}

TRegRequest ParseRegArguments(const std::vector<std::string>& args) {
    TRegRequest r;
    for (const auto& a : args)
        if (a == "/?" || a == "-?" || a == "/h" || a == "-h" || a == "--help") return r;
    if (args.empty()) throw TRegSyntaxError("ERROR: Invalid syntax.");
    r.nOperation = OperationNamed(args[0]);

    std::vector<std::string> positional;
    bool seenV = false, seenS = false, seenT = false, seenD = false, seenF = false;
    for (size_t i = 1; i < args.size(); ++i) {
        std::string option = OptionName(args[i]);
        if (option.empty() || !Allows(r.nOperation, option)) {
            // An export FILE may well be an absolute path such as /tmp/a.reg.
            if (!option.empty() && r.nOperation != TRegRequest::roExport)
                throw TRegSyntaxError("ERROR: Invalid syntax. Unknown option " + args[i] + ".");
            positional.push_back(args[i]);
            continue;
        }
        auto needArgument = [&]() -> const std::string& {
            if (i + 1 >= args.size()) throw TRegSyntaxError("ERROR: Invalid syntax. " + args[i] + " needs a value.");
            return args[++i];
        };
        if (option == "v" || option == "ve" || option == "va") {
            SetOnce(seenV, "v");
            if (option == "v") r.strValueName = needArgument();
            else if (option == "ve") r.strValueName = "";
            else r.bAllValues = true;
        } else if (option == "s") {
            SetOnce(seenS, option);
            r.bRecursive = true;
        } else if (option == "t") {
            SetOnce(seenT, option);
            r.nType = TypeNamed(needArgument());
        } else if (option == "d") {
            SetOnce(seenD, option);
            r.strData = needArgument();
        } else {  // f, y
            SetOnce(seenF, option);
            r.bForce = true;
        }
    }
    size_t wanted = r.nOperation == TRegRequest::roExport ? 2 : 1;
    if (positional.size() != wanted) throw TRegSyntaxError("ERROR: Invalid syntax.");
    r.lstKey = ParseCurrentUserKey(positional[0]);
    if (wanted == 2) r.strFile = positional[1];
    // Without /v or /ve, data or a type is for the default value, as with reg.
    if (r.nOperation == TRegRequest::roAdd && !r.strValueName && (r.nType || r.strData)) r.strValueName = "";
    return r;
}

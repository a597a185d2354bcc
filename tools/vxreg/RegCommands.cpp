#include "RegCommands.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "RegExport.h"

const char* const kRegNotFound = "ERROR: The system was unable to find the specified registry key or value.";

namespace {

constexpr const char* kDone = "The operation completed successfully.";
constexpr const char* kCanceled = "The operation was canceled by the user.";

std::string DisplayName(const std::string& name) { return name.empty() ? "(Default)" : name; }

std::string TypeName(TRegValue::TType type) { return type == TRegValue::rtDword ? "REG_DWORD" : "REG_SZ"; }

std::string DisplayData(const TRegValue& v) {
    if (v.nType != TRegValue::rtDword) return v.strData;
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%x", v.nData);
    return buf;
}

std::string ValueLine(const TRegValue& v) {
    return "    " + DisplayName(v.strName) + "    " + TypeName(v.nType) + "    " + DisplayData(v);
}

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r\n"), e = s.find_last_not_of(" \t\r\n");
    return b == std::string::npos ? "" : s.substr(b, e - b + 1);
}

// reg accepts decimal and 0x-prefixed hexadecimal numbers for REG_DWORD.
uint32_t ParseDword(const std::string& text) {
    std::string t = Trim(text);
    bool hex = t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X');
    std::string digits = hex ? t.substr(2) : t;
    const std::string allowed = hex ? "0123456789abcdefABCDEF" : "0123456789";
    if (digits.empty() || digits.find_first_not_of(allowed) != std::string::npos || digits.size() > 20)
        throw TRegFailure("ERROR: Invalid data \"" + text + "\" for REG_DWORD: give a number from 0 to 4294967295.");
    unsigned long long n = std::stoull(digits, nullptr, hex ? 16 : 10);
    if (n > 0xFFFFFFFFull)
        throw TRegFailure("ERROR: Invalid data \"" + text + "\" for REG_DWORD: give a number from 0 to 4294967295.");
    return static_cast<uint32_t>(n);
}

std::vector<std::string> Child(std::vector<std::string> key, const std::string& name) {
    key.push_back(name);
    return key;
}

}  // namespace

std::string FullKeyName(const std::vector<std::string>& key) {
    std::string name = "HKEY_CURRENT_USER";
    for (const auto& part : key) name += "\\" + part;
    return name;
}

std::string HivePath(const std::vector<std::string>& key) {
    std::string path;
    for (const auto& part : key) path += (path.empty() ? "" : "\\") + part;
    return path;
}

int TRegCommands::Run(const TRegRequest& r) {
    switch (r.nOperation) {
        case TRegRequest::roQuery: return Query(r);
        case TRegRequest::roAdd: return Add(r);
        case TRegRequest::roDelete: return Delete(r);
        case TRegRequest::roExport: return Export(r);
        case TRegRequest::roHelp: break;
    }
    m_Out << kRegShortUsage << kRegUsageDetails;
    return 0;
}

std::optional<std::vector<std::string>> TRegCommands::StoredKey(const std::vector<std::string>& typed) const {
    std::vector<std::string> stored;
    for (const auto& part : typed) {
        std::optional<std::string> match;
        for (const auto& name : m_Hive.SubKeyNames(HivePath(stored)))
            if (SameRegName(name, part)) match = name;
        if (!match) return std::nullopt;
        stored.push_back(*match);
    }
    return stored;
}

std::vector<std::string> TRegCommands::ExistingKey(const std::vector<std::string>& typed) const {
    auto stored = StoredKey(typed);
    if (!stored) throw TRegFailure(kRegNotFound);
    return *stored;
}

bool TRegCommands::Confirm(const std::string& question) {
    m_Out << question << " " << std::flush;
    std::string answer;
    bool got = static_cast<bool>(std::getline(m_In, answer));
    // A terminal echoes the user's Enter; piped answers need the line ended here.
    if (!isatty(STDIN_FILENO)) m_Out << "\n";
    answer = Trim(answer);
    return got && (SameRegName(answer, "y") || SameRegName(answer, "yes"));
}

int TRegCommands::Query(const TRegRequest& r) {
    auto key = ExistingKey(r.lstKey);
    if (r.strValueName && r.bRecursive) {
        size_t found = QueryValueInTree(key, *r.strValueName);
        if (found == 0) throw TRegFailure(kRegNotFound);
        m_Out << "\nEnd of search: " << found << " match(es) found.\n";
        return 0;
    }
    if (r.strValueName) {
        auto value = m_Hive.ReadValue(HivePath(key), *r.strValueName);
        if (!value) throw TRegFailure(kRegNotFound);
        m_Out << "\n" << FullKeyName(key) << "\n" << ValueLine(*value) << "\n\n";
        return 0;
    }
    if (r.bRecursive) {
        QueryTree(key);
        m_Out << "\n";
        return 0;
    }
    m_Out << "\n" << FullKeyName(key) << "\n";
    for (const auto& v : m_Hive.Values(HivePath(key))) m_Out << ValueLine(v) << "\n";
    m_Out << "\n";
    for (const auto& sub : m_Hive.SubKeyNames(HivePath(key))) m_Out << FullKeyName(Child(key, sub)) << "\n";
    return 0;
}

void TRegCommands::QueryTree(const std::vector<std::string>& key) {
    m_Out << "\n" << FullKeyName(key) << "\n";
    for (const auto& v : m_Hive.Values(HivePath(key))) m_Out << ValueLine(v) << "\n";
    for (const auto& sub : m_Hive.SubKeyNames(HivePath(key))) QueryTree(Child(key, sub));
}

size_t TRegCommands::QueryValueInTree(const std::vector<std::string>& key, const std::string& name) {
    size_t found = 0;
    if (auto value = m_Hive.ReadValue(HivePath(key), name)) {
        m_Out << "\n" << FullKeyName(key) << "\n" << ValueLine(*value) << "\n";
        ++found;
    }
    for (const auto& sub : m_Hive.SubKeyNames(HivePath(key))) found += QueryValueInTree(Child(key, sub), name);
    return found;
}

int TRegCommands::Add(const TRegRequest& r) {
    // Existing parts of the key keep their spelling; new parts are stored as typed.
    std::string path = HivePath(r.lstKey);
    if (!r.strValueName) {
        m_Hive.CreateKey(path);
        m_Out << kDone << "\n";
        return 0;
    }
    auto type = r.nType.value_or(TRegValue::rtString);
    uint32_t number = type == TRegValue::rtDword ? ParseDword(r.strData.value_or("0")) : 0;
    if (!r.bForce && m_Hive.ReadValue(path, *r.strValueName) &&
        !Confirm("Value " + DisplayName(*r.strValueName) + " exists, overwrite(Yes/No)?"))
        throw TRegFailure(kCanceled);
    if (type == TRegValue::rtDword) m_Hive.WriteDword(path, *r.strValueName, number);
    else m_Hive.WriteString(path, *r.strValueName, r.strData.value_or(""));
    m_Out << kDone << "\n";
    return 0;
}

int TRegCommands::Delete(const TRegRequest& r) {
    auto key = ExistingKey(r.lstKey);
    std::string path = HivePath(key);
    if (r.strValueName) {
        if (!m_Hive.ReadValue(path, *r.strValueName)) throw TRegFailure(kRegNotFound);
        if (!r.bForce && !Confirm("Delete the registry value " + DisplayName(*r.strValueName) + "? (Yes/No)"))
            throw TRegFailure(kCanceled);
        m_Hive.DeleteValue(path, *r.strValueName);
    } else if (r.bAllValues) {
        if (!r.bForce && !Confirm("Delete all values under the registry key " + FullKeyName(key) + "? (Yes/No)"))
            throw TRegFailure(kCanceled);
        for (const auto& v : m_Hive.Values(path)) m_Hive.DeleteValue(path, v.strName);
    } else {
        if (key.empty()) throw TRegFailure("ERROR: Invalid key name. The root of the hive cannot be deleted.");
        if (!r.bForce && !Confirm("Permanently delete the registry key " + FullKeyName(key) + "? (Yes/No)"))
            throw TRegFailure(kCanceled);
        m_Hive.DeleteKey(path);
    }
    m_Out << kDone << "\n";
    return 0;
}

int TRegCommands::Export(const TRegRequest& r) {
    auto key = ExistingKey(r.lstKey);
    std::error_code ec;
    if (!r.bForce && std::filesystem::exists(r.strFile, ec) &&
        !Confirm("File " + r.strFile + " already exists. Overwrite (Yes/No)?"))
        throw TRegFailure(kCanceled);
    WriteRegFile(r.strFile, RegFileText(m_Hive, key));
    m_Out << kDone << "\n";
    return 0;
}

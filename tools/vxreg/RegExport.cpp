#include "RegExport.h"

#include <cstdio>
#include <fstream>

#include "RegCommands.h"

namespace {

constexpr const char* kEol = "\r\n";

std::string Quoted(const std::string& text) {
    std::string q = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') q += '\\';
        q += c;
    }
    return q + "\"";
}

// Decodes UTF-8; a byte that does not start a valid sequence stands for itself
// as U+FFFD so that the rest of the text still survives.
std::u32string DecodeUtf8(const std::string& s) {
    std::u32string out;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        int len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        char32_t cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
        bool ok = len > 0 && i + len <= s.size();
        for (int k = 1; ok && k < len; ++k) {
            unsigned char cc = static_cast<unsigned char>(s[i + k]);
            ok = (cc >> 6) == 2;
            cp = (cp << 6) | (cc & 0x3F);
        }
        if (!ok || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out += U'\uFFFD';
            ++i;
            continue;
        }
        out += cp;
        i += len;
    }
    return out;
}

// A quoted REG_SZ cannot hold line breaks or NUL characters; regedit writes
// such strings as hex(1): UTF-16LE bytes with a terminating NUL.
std::string HexString(const std::string& text) {
    std::string hex = "hex(1):";
    auto put = [&](unsigned v) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "%02x,%02x,", v & 0xFF, (v >> 8) & 0xFF);
        hex += buf;
    };
    for (char32_t cp : DecodeUtf8(text)) {
        if (cp >= 0x10000) {
            put(0xD800 + ((cp - 0x10000) >> 10));
            put(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            put(cp);
        }
    }
    put(0);
    hex.pop_back();
    return hex;
}

std::string ValueLine(const TRegValue& v) {
    std::string line = v.strName.empty() ? "@" : Quoted(v.strName);
    if (v.nType == TRegValue::rtDword) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "dword:%08x", v.nData);
        return line + "=" + buf;
    }
    bool plain = v.strData.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
    return line + "=" + (plain ? Quoted(v.strData) : HexString(v.strData));
}

void AppendSection(const IRegistryHive& hive, std::vector<std::string> key, std::string& text) {
    std::string path = HivePath(key);
    text += "[" + FullKeyName(key) + "]" + kEol;
    auto values = hive.Values(path);
    // regedit lists the default value first.
    for (const auto& v : values)
        if (v.strName.empty()) text += ValueLine(v) + kEol;
    for (const auto& v : values)
        if (!v.strName.empty()) text += ValueLine(v) + kEol;
    text += kEol;
    for (const auto& sub : hive.SubKeyNames(path)) {
        key.push_back(sub);
        AppendSection(hive, key, text);
        key.pop_back();
    }
}

}  // namespace

std::string RegFileText(const IRegistryHive& hive, const std::vector<std::string>& key) {
    std::string text = std::string("Windows Registry Editor Version 5.00") + kEol + kEol;
    AppendSection(hive, key, text);
    return text;
}

void WriteRegFile(const std::filesystem::path& file, const std::string& text) {
    std::filesystem::path temp = file;
    temp += ".vxreg-tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << text;
        out.close();
        if (!out) {
            std::error_code ec;
            std::filesystem::remove(temp, ec);
            throw TRegFailure("ERROR: Cannot write " + file.string() + ".");
        }
    }
    std::error_code ec;
    std::filesystem::rename(temp, file, ec);
    if (ec) {
        std::filesystem::remove(temp, ec);
        throw TRegFailure("ERROR: Cannot write " + file.string() + ": " + ec.message() + ".");
    }
}

#include "service/VersionInfoReader.h"

#include <simdjson.h>

#include <algorithm>
#include <limits>

namespace {

using simdjson::dom::element;
using simdjson::dom::element_type;
using simdjson::dom::object;

[[noreturn]] void Fail(const std::string& where, const std::string& what) {
    throw TVersionFormatError("Key \"" + where + "\": " + what);
}

// The first member named key, or nothing.
bool FindKey(const object& obj, std::string_view key, element& value) {
    return obj.at_key(key).get(value) == simdjson::SUCCESS;
}

element Required(const object& obj, std::string_view key, const std::string& where) {
    element value;
    if (!FindKey(obj, key, value)) Fail(where, "missing");
    return value;
}

int32_t ReadInt32(const element& value, const std::string& where) {
    int64_t number = 0;
    if (value.get_int64().get(number) != simdjson::SUCCESS ||
        number < std::numeric_limits<int32_t>::min() || number > std::numeric_limits<int32_t>::max())
        Fail(where, "not a whole number of 32 bits");
    return static_cast<int32_t>(number);
}

uint32_t ReadUInt32(const element& value, const std::string& where) {
    if (value.type() != element_type::INT64 && value.type() != element_type::UINT64)
        Fail(where, "not a whole number");
    uint64_t number = 0;
    if (value.get_uint64().get(number) != simdjson::SUCCESS ||
        number > std::numeric_limits<uint32_t>::max())
        Fail(where, "not a whole number from 0 to 4294967295");
    return static_cast<uint32_t>(number);
}

std::string ReadString(const element& value, const std::string& where) {
    std::string_view text;
    if (value.get_string().get(text) != simdjson::SUCCESS) Fail(where, "not a string");
    return std::string(text);
}

bool ReadBool(const element& value, const std::string& where) {
    bool flag = false;
    if (value.get_bool().get(flag) != simdjson::SUCCESS) Fail(where, "not true or false");
    return flag;
}

simdjson::dom::array ReadArray(const element& value, const std::string& where) {
    simdjson::dom::array array;
    if (value.get_array().get(array) != simdjson::SUCCESS) Fail(where, "not an array");
    return array;
}

std::vector<std::string> ReadStringArray(const element& value, const std::string& where) {
    std::vector<std::string> texts;
    size_t index = 0;
    for (element item : ReadArray(value, where))
        texts.push_back(ReadString(item, where + "[" + std::to_string(index++) + "]"));
    return texts;
}

// The DOM keeps a number only as its value; a change entry needs the text as
// the service wrote it, so walk to the same entry again with the on-demand
// parser, which sees the raw token. find_field, like at_key, takes the first
// of duplicate keys.
std::string RawChangeToken(const simdjson::padded_string& json, size_t wanted) {
    simdjson::ondemand::parser parser;
    simdjson::ondemand::document doc;
    simdjson::ondemand::array changes;
    if (parser.iterate(json).get(doc) != simdjson::SUCCESS ||
        doc.find_field("changes").get_array().get(changes) != simdjson::SUCCESS)
        Fail("changes", "cannot be read again");
    size_t index = 0;
    for (auto item : changes) {
        simdjson::ondemand::value value;
        if (item.get(value) != simdjson::SUCCESS) break;
        if (index++ == wanted) {
            std::string_view token = value.raw_json_token();
            while (!token.empty() && (token.back() == ' ' || token.back() == '\t' ||
                                      token.back() == '\r' || token.back() == '\n'))
                token.remove_suffix(1);
            return std::string(token);
        }
    }
    Fail("changes[" + std::to_string(wanted) + "]", "cannot be read again");
}

TVantixVersionChange ReadChange(const element& entry, const simdjson::padded_string& json,
                                size_t index) {
    const std::string where = "changes[" + std::to_string(index) + "]";
    TVantixVersionChange change;
    object obj;
    if (entry.get_object().get(obj) == simdjson::SUCCESS) {
        element text;
        if (!FindKey(obj, "text", text) || !text.is_string())
            Fail(where + ".text", "missing or not a string");
        change.strText = ReadString(text, where + ".text");
        change.arProducts = ReadStringArray(Required(obj, "products", where + ".products"),
                                            where + ".products");
        return change;
    }
    switch (entry.type()) {
        case element_type::STRING:
            change.strText = ReadString(entry, where);
            return change;
        case element_type::INT64:
        case element_type::UINT64:
        case element_type::DOUBLE:
            change.strText = RawChangeToken(json, index);
            return change;
        default:
            Fail(where, "neither a string, a number nor an object with \"text\"");
    }
}

PVantixVersionFile ReadFile(const element& entry, size_t index) {
    const std::string where = "files[" + std::to_string(index) + "]";
    object obj;
    if (entry.get_object().get(obj) != simdjson::SUCCESS) Fail(where, "not an object");
    auto file = std::make_unique<TVantixVersionFile>();
    file->strFile = ReadString(Required(obj, "file", where + ".file"), where + ".file");
    std::replace(file->strFile.begin(), file->strFile.end(), '/', '\\');
    file->strMD5 = ReadString(Required(obj, "md5", where + ".md5"), where + ".md5");
    element value;
    if (FindKey(obj, "size", value)) file->nFileSize = ReadUInt32(value, where + ".size");
    bool bInstall = false;
    if (FindKey(obj, "install", value) && value.get_bool().get(bInstall) == simdjson::SUCCESS)
        file->bInstall = bInstall;
    if (FindKey(obj, "product", value)) file->strProduct = ReadString(value, where + ".product");
    return file;
}

}  // namespace

void ReadVersionDocument(std::string_view json, TVantixVersion& out) {
    const simdjson::padded_string padded(json);
    simdjson::dom::parser parser;
    element doc;
    if (auto error = parser.parse(padded).get(doc); error != simdjson::SUCCESS)
        throw TVersionFormatError(std::string("Invalid JSON: ") + simdjson::error_message(error));
    object top;
    if (doc.get_object().get(top) != simdjson::SUCCESS)
        throw TVersionFormatError("Invalid version document: the top level is not an object");

    out.nMajor = ReadInt32(Required(top, "major", "major"), "major");
    out.nMinor = ReadInt32(Required(top, "minor", "minor"), "minor");
    out.nRelease = ReadInt32(Required(top, "release", "release"), "release");
    out.nBuild = ReadInt32(Required(top, "build", "build"), "build");
    out.strVideo = ReadString(Required(top, "video", "video"), "video");
    out.bIsLatest = ReadBool(Required(top, "is_latest", "is_latest"), "is_latest");
    out.bBugVersion = ReadBool(Required(top, "bugged", "bugged"), "bugged");

    out.arProducts.clear();
    element products;
    if (FindKey(top, "products", products) && products.is_array()) {
        try {
            out.arProducts = ReadStringArray(products, "products");
        } catch (const TVersionFormatError&) {
            out.arProducts.clear();  // optional: unreadable means empty
        }
    }

    out.arChanges.clear();
    size_t index = 0;
    for (element entry : ReadArray(Required(top, "changes", "changes"), "changes"))
        out.arChanges.push_back(ReadChange(entry, padded, index++));

    out.lstFiles.clear();
    index = 0;
    for (element entry : ReadArray(Required(top, "files", "files"), "files"))
        out.lstFiles.push_back(ReadFile(entry, index++));
}

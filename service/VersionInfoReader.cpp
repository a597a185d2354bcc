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

// A JSON integer: 10.0 and 1e1 are refused like any other mistyped number.
bool IsWholeNumber(const element& value) {
    return value.type() == element_type::INT64 || value.type() == element_type::UINT64;
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
// the service wrote it. The on-demand parser sees the raw tokens, so one walk
// over "changes" collects the text of every numeric entry, by position; a walk
// per entry would cost the whole document each time. find_field, like at_key,
// takes the first of duplicate keys.
class TRawChangeNumbers {
public:
    explicit TRawChangeNumbers(const simdjson::padded_string& json) : m_Json(json) {}

    const std::string& Text(size_t index) {
        if (!m_bRead) ReadAll();
        if (index >= m_lstTexts.size() || m_lstTexts[index].empty())
            Fail("changes[" + std::to_string(index) + "]", "cannot be read again");
        return m_lstTexts[index];
    }

private:
    void ReadAll() {
        m_bRead = true;
        simdjson::ondemand::parser parser;
        simdjson::ondemand::document doc;
        simdjson::ondemand::array changes;
        if (parser.iterate(m_Json).get(doc) != simdjson::SUCCESS ||
            doc.find_field("changes").get_array().get(changes) != simdjson::SUCCESS)
            Fail("changes", "cannot be read again");
        for (auto item : changes) {
            simdjson::ondemand::value value;
            simdjson::ondemand::json_type type;
            if (item.get(value) != simdjson::SUCCESS || value.type().get(type) != simdjson::SUCCESS) break;
            m_lstTexts.push_back(type == simdjson::ondemand::json_type::number ? TrimmedToken(value) : "");
        }
    }

    static std::string TrimmedToken(simdjson::ondemand::value& value) {
        std::string_view token = value.raw_json_token();
        while (!token.empty() &&
               (token.back() == ' ' || token.back() == '\t' || token.back() == '\r' || token.back() == '\n'))
            token.remove_suffix(1);
        return std::string(token);
    }

    const simdjson::padded_string& m_Json;
    bool m_bRead = false;
    std::vector<std::string> m_lstTexts;  // empty for entries that are not numbers
};

TVantixVersionChange ReadChange(const element& entry, TRawChangeNumbers& numbers, size_t index) {
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
            change.strText = numbers.Text(index);
            return change;
        default:
            Fail(where, "neither a string, a number nor an object with \"text\"");
    }
}

// The value of an optional text key; "" when missing or not a string.
std::string OptionalString(const object& obj, std::string_view key) {
    element value;
    std::string_view text;
    if (FindKey(obj, key, value) && value.get_string().get(text) == simdjson::SUCCESS) return std::string(text);
    return "";
}

// What a signed document says it answers; each part "" when not given.
TVantixVersionAnswers ReadAnswers(const object& top) {
    element value;
    object answers;
    if (!FindKey(top, "answers", value) || value.get_object().get(answers) != simdjson::SUCCESS) return {};
    return {OptionalString(answers, "product"), OptionalString(answers, "channel"), OptionalString(answers, "locale")};
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
    uint64_t nSize = 0;
    if (FindKey(obj, "size", value) && IsWholeNumber(value) && value.get_uint64().get(nSize) == simdjson::SUCCESS &&
        nSize <= std::numeric_limits<uint32_t>::max())
        file->nFileSize = static_cast<uint32_t>(nSize);
    bool bInstall = false;
    if (FindKey(obj, "install", value) && value.get_bool().get(bInstall) == simdjson::SUCCESS)
        file->bInstall = bInstall;
    file->strProduct = OptionalString(obj, "product");
    file->strSha256 = OptionalString(obj, "sha256");
    file->strPackageSha256 = OptionalString(obj, "package_sha256");
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

    out.Answers = ReadAnswers(top);
    out.strExpires = OptionalString(top, "expires");

    out.arChanges.clear();
    TRawChangeNumbers numbers(padded);
    size_t index = 0;
    for (element entry : ReadArray(Required(top, "changes", "changes"), "changes"))
        out.arChanges.push_back(ReadChange(entry, numbers, index++));

    out.lstFiles.clear();
    index = 0;
    for (element entry : ReadArray(Required(top, "files", "files"), "files"))
        out.lstFiles.push_back(ReadFile(entry, index++));
}

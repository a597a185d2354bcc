#include "service/VersionInfoReader.h"

#include <rapidjson/document.h>
#include <rapidjson/error/en.h>
#include <rapidjson/memorystream.h>
#include <rapidjson/reader.h>

#include <algorithm>

#include "base/Utf8.h"
#include "service/VersionJsonHandler.h"

namespace {

using rapidjson::Value;

// Iterative: a deeply nested document costs heap, not the thread's stack.
// The reader stops after the value so that what follows is checked here: at
// a NUL byte RapidJSON's stream would think the input ended. The encoding is
// checked before, all at once: RapidJSON's check, character by character,
// took a third of the parse.
constexpr unsigned kParseFlags = rapidjson::kParseIterativeFlag | rapidjson::kParseStopWhenDoneFlag;

[[noreturn]] void Fail(const std::string& where, const std::string& what) {
    throw TVersionFormatError("Key \"" + where + "\": " + what);
}

[[noreturn]] void FailJson(const std::string& what) { throw TVersionFormatError("Invalid JSON: " + what); }

void CheckParsed(const TVersionJsonHandler& handler, const rapidjson::ParseResult& result) {
    if (!handler.Refusal().empty()) FailJson(handler.Refusal());
    if (result.IsError())
        FailJson(std::string(rapidjson::GetParseError_En(result.Code())) + " (at byte " +
                 std::to_string(result.Offset()) + ")");
}

void CheckOnlyWhiteSpaceAfter(std::string_view json, size_t end) {
    if (json.find_first_not_of(" \t\r\n", end) != std::string_view::npos)
        FailJson("more than white space after the value (at byte " + std::to_string(end) + ")");
}

// Numeric change entries by position, from the handler: the built values keep
// only what a number reads as.
using TChangeNumbers = std::vector<std::string_view>;

TChangeNumbers Parse(std::string_view json, rapidjson::Document& doc) {
    if (!IsValidUtf8(json)) FailJson("the document is not UTF-8");
    rapidjson::MemoryStream stream(json.data(), json.size());
    TVersionJsonHandler handler(doc, stream);
    rapidjson::Reader reader;
    rapidjson::ParseResult result;
    // Populate only moves the built value into doc: the events go to the
    // handler, which builds into doc itself.
    auto generator = [&](rapidjson::Document&) {
        result = reader.Parse<kParseFlags>(stream, handler);
        return !result.IsError();
    };
    doc.Populate(generator);
    CheckParsed(handler, result);
    CheckOnlyWhiteSpaceAfter(json, stream.Tell());
    return handler.ChangeNumbers();
}

// The first member named key, or nothing.
const Value* FindKey(const Value& obj, std::string_view key) {
    const Value name(rapidjson::StringRef(key.data(), static_cast<rapidjson::SizeType>(key.size())));
    const auto member = obj.FindMember(name);
    return member == obj.MemberEnd() ? nullptr : &member->value;
}

const Value& Required(const Value& obj, std::string_view key, const std::string& where) {
    const Value* value = FindKey(obj, key);
    if (!value) Fail(where, "missing");
    return *value;
}

// IsInt holds only for a JSON integer: 10.0 and 1e1 are refused like any other mistyped number.
int32_t ReadInt32(const Value& value, const std::string& where) {
    if (!value.IsInt()) Fail(where, "not a whole number of 32 bits");
    return value.GetInt();
}

std::string Text(const Value& value) { return std::string(value.GetString(), value.GetStringLength()); }

std::string ReadString(const Value& value, const std::string& where) {
    if (!value.IsString()) Fail(where, "not a string");
    return Text(value);
}

bool ReadBool(const Value& value, const std::string& where) {
    if (!value.IsBool()) Fail(where, "not true or false");
    return value.GetBool();
}

const Value& ReadArray(const Value& value, const std::string& where) {
    if (!value.IsArray()) Fail(where, "not an array");
    return value;
}

std::vector<std::string> ReadStringArray(const Value& value, const std::string& where) {
    std::vector<std::string> texts;
    size_t index = 0;
    for (const Value& item : ReadArray(value, where).GetArray())
        texts.push_back(ReadString(item, where + "[" + std::to_string(index++) + "]"));
    return texts;
}

// The value of an optional text key; "" when missing or not a string.
std::string OptionalString(const Value& obj, std::string_view key) {
    const Value* value = FindKey(obj, key);
    return value && value->IsString() ? Text(*value) : "";
}

TVantixVersionChange ReadChangeObject(const Value& entry, const std::string& where) {
    TVantixVersionChange change;
    const Value* text = FindKey(entry, "text");
    if (!text || !text->IsString()) Fail(where + ".text", "missing or not a string");
    change.strText = Text(*text);
    change.arProducts = ReadStringArray(Required(entry, "products", where + ".products"), where + ".products");
    return change;
}

TVantixVersionChange ReadChange(const Value& entry, const TChangeNumbers& numbers, size_t index) {
    const std::string where = "changes[" + std::to_string(index) + "]";
    if (entry.IsObject()) return ReadChangeObject(entry, where);
    TVantixVersionChange change;
    if (entry.IsString()) {
        change.strText = Text(entry);
    } else if (entry.IsNumber()) {
        if (index >= numbers.size() || numbers[index].empty()) Fail(where, "its text was not kept");
        change.strText = std::string(numbers[index]);
    } else {
        Fail(where, "neither a string, a number nor an object with \"text\"");
    }
    return change;
}

// What a signed document says it answers; each part "" when not given.
TVantixVersionAnswers ReadAnswers(const Value& top) {
    const Value* answers = FindKey(top, "answers");
    if (!answers || !answers->IsObject()) return {};
    return {OptionalString(*answers, "product"), OptionalString(*answers, "channel"),
            OptionalString(*answers, "locale")};
}

PVantixVersionFile ReadFile(const Value& entry, size_t index) {
    const std::string where = "files[" + std::to_string(index) + "]";
    if (!entry.IsObject()) Fail(where, "not an object");
    auto file = std::make_unique<TVantixVersionFile>();
    file->strFile = ReadString(Required(entry, "file", where + ".file"), where + ".file");
    std::replace(file->strFile.begin(), file->strFile.end(), '/', '\\');
    file->strMD5 = ReadString(Required(entry, "md5", where + ".md5"), where + ".md5");
    // IsUint: a JSON integer from 0 to 4294967295.
    if (const Value* size = FindKey(entry, "size"); size && size->IsUint()) file->nFileSize = size->GetUint();
    if (const Value* install = FindKey(entry, "install"); install && install->IsBool())
        file->bInstall = install->GetBool();
    file->strProduct = OptionalString(entry, "product");
    file->strSha256 = OptionalString(entry, "sha256");
    file->strPackageSha256 = OptionalString(entry, "package_sha256");
    return file;
}

// Optional: a list that is missing or unreadable leaves no products.
std::vector<std::string> ReadProducts(const Value& top) {
    const Value* products = FindKey(top, "products");
    if (!products || !products->IsArray()) return {};
    try {
        return ReadStringArray(*products, "products");
    } catch (const TVersionFormatError&) {
        return {};
    }
}

}  // namespace

void ReadVersionDocument(std::string_view json, TVantixVersion& out) {
    rapidjson::Document doc;
    const TChangeNumbers numbers = Parse(json, doc);
    if (!doc.IsObject()) throw TVersionFormatError("Invalid version document: the top level is not an object");
    const Value& top = doc;

    out.nMajor = ReadInt32(Required(top, "major", "major"), "major");
    out.nMinor = ReadInt32(Required(top, "minor", "minor"), "minor");
    out.nRelease = ReadInt32(Required(top, "release", "release"), "release");
    out.nBuild = ReadInt32(Required(top, "build", "build"), "build");
    out.strVideo = ReadString(Required(top, "video", "video"), "video");
    out.bIsLatest = ReadBool(Required(top, "is_latest", "is_latest"), "is_latest");
    out.bBugVersion = ReadBool(Required(top, "bugged", "bugged"), "bugged");
    out.arProducts = ReadProducts(top);
    out.Answers = ReadAnswers(top);
    out.strExpires = OptionalString(top, "expires");

    out.arChanges.clear();
    size_t index = 0;
    for (const Value& entry : ReadArray(Required(top, "changes", "changes"), "changes").GetArray())
        out.arChanges.push_back(ReadChange(entry, numbers, index++));

    out.lstFiles.clear();
    index = 0;
    for (const Value& entry : ReadArray(Required(top, "files", "files"), "files").GetArray())
        out.lstFiles.push_back(ReadFile(entry, index++));
}

#pragma once
#include <rapidjson/document.h>
#include <rapidjson/memorystream.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Builds the document of a version query from RapidJSON's reader, and keeps on
// the way what the built values lose: the text of each number of the first
// top-level "changes" list as written ("1.50" stays "1.50"), by position. It
// also stops what the reader alone would let through: nesting deeper than any
// release needs (every open level costs memory), and an escaped lone surrogate
// ("\udc00"), which decodes to bytes that are not UTF-8.
class TVersionJsonHandler {
public:
    // stream is the one the reader reads: a number's text ends where it stands.
    TVersionJsonHandler(rapidjson::Document& doc, const rapidjson::MemoryStream& stream);

    bool Null();
    bool Bool(bool value);
    bool Int(int value);
    bool Uint(unsigned value);
    bool Int64(int64_t value);
    bool Uint64(uint64_t value);
    bool Double(double value);
    bool RawNumber(const char* text, rapidjson::SizeType length, bool copy);
    bool String(const char* text, rapidjson::SizeType length, bool copy);
    bool Key(const char* text, rapidjson::SizeType length, bool copy);
    bool StartObject();
    bool EndObject(rapidjson::SizeType members);
    bool StartArray();
    bool EndArray(rapidjson::SizeType elements);

    // Why the handler stopped the reader; empty when it did not.
    const std::string& Refusal() const { return m_strRefusal; }

    // One per entry of the first top-level "changes" list: a number's text, or
    // empty for an entry that is not a number. Views into the stream's bytes.
    const std::vector<std::string_view>& ChangeNumbers() const { return m_lstChangeNumbers; }

private:
    enum class EChanges { NotYet, KeyRead, Inside, Done };

    void NoteValue(std::string_view number, bool bOpensArray);
    void NoteNumber();
    bool Open();
    void Close();
    bool Refuse(const char* reason);
    bool Decodable(const char* text, rapidjson::SizeType length);
    std::string_view NumberText() const;

    rapidjson::Document& m_Doc;
    const rapidjson::MemoryStream& m_Stream;
    unsigned m_nDepth = 0;  // containers open
    EChanges m_eChanges = EChanges::NotYet;
    std::vector<std::string_view> m_lstChangeNumbers;
    std::string m_strRefusal;
};

#include "service/VersionJsonHandler.h"

#include <cstring>

namespace {

// Far beyond the four levels of a release, and what the reader refused before
// it was RapidJSON's.
constexpr unsigned kMaxDepth = 1024;

// Depth of the members of the top-level object, and of the change entries.
constexpr unsigned kTopMembers = 1;
constexpr unsigned kChangeEntries = 2;

bool IsNumberChar(char ch) {
    return (ch >= '0' && ch <= '9') || ch == '-' || ch == '+' || ch == '.' || ch == 'e' || ch == 'E';
}

// UTF-8 of U+D800 to U+DFFF: 0xED followed by 0xA0 or above. The document's
// bytes are checked for UTF-8 before it is read; what an escape decodes to is
// seen only here.
bool EncodesSurrogate(std::string_view text) {
    for (size_t at = text.find('\xED'); at != std::string_view::npos && at + 1 < text.size();
         at = text.find('\xED', at + 1))
        if (static_cast<unsigned char>(text[at + 1]) >= 0xA0) return true;
    return false;
}

}  // namespace

TVersionJsonHandler::TVersionJsonHandler(rapidjson::Document& doc, const rapidjson::MemoryStream& stream)
    : m_Doc(doc), m_Stream(stream) {}

bool TVersionJsonHandler::Null() {
    NoteValue({}, false);
    return m_Doc.Null();
}

bool TVersionJsonHandler::Bool(bool value) {
    NoteValue({}, false);
    return m_Doc.Bool(value);
}

bool TVersionJsonHandler::Int(int value) {
    NoteNumber();
    return m_Doc.Int(value);
}

bool TVersionJsonHandler::Uint(unsigned value) {
    NoteNumber();
    return m_Doc.Uint(value);
}

bool TVersionJsonHandler::Int64(int64_t value) {
    NoteNumber();
    return m_Doc.Int64(value);
}

bool TVersionJsonHandler::Uint64(uint64_t value) {
    NoteNumber();
    return m_Doc.Uint64(value);
}

bool TVersionJsonHandler::Double(double value) {
    NoteNumber();
    return m_Doc.Double(value);
}

// Only called when numbers are read as strings, which the reader of version
// documents does not ask for: its values would lose their type.
bool TVersionJsonHandler::RawNumber(const char*, rapidjson::SizeType, bool) {
    return Refuse("numbers read as strings");
}

bool TVersionJsonHandler::String(const char* text, rapidjson::SizeType length, bool copy) {
    NoteValue({}, false);
    return Decodable(text, length) && m_Doc.String(text, length, copy);
}

bool TVersionJsonHandler::Key(const char* text, rapidjson::SizeType length, bool copy) {
    if (m_nDepth == kTopMembers && m_eChanges == EChanges::NotYet && std::string_view(text, length) == "changes")
        m_eChanges = EChanges::KeyRead;
    return Decodable(text, length) && m_Doc.Key(text, length, copy);
}

bool TVersionJsonHandler::StartObject() {
    NoteValue({}, false);
    return Open() && m_Doc.StartObject();
}

bool TVersionJsonHandler::EndObject(rapidjson::SizeType members) {
    Close();
    return m_Doc.EndObject(members);
}

bool TVersionJsonHandler::StartArray() {
    NoteValue({}, true);
    return Open() && m_Doc.StartArray();
}

bool TVersionJsonHandler::EndArray(rapidjson::SizeType elements) {
    Close();
    if (m_eChanges == EChanges::Inside && m_nDepth == kTopMembers) m_eChanges = EChanges::Done;
    return m_Doc.EndArray(elements);
}

// Every value passes here before it is built: a change entry gets its slot,
// and the value of the first top-level "changes" says whether entries follow.
void TVersionJsonHandler::NoteValue(std::string_view number, bool bOpensArray) {
    if (m_eChanges == EChanges::Inside && m_nDepth == kChangeEntries)
        m_lstChangeNumbers.push_back(number);
    else if (m_eChanges == EChanges::KeyRead && m_nDepth == kTopMembers)
        m_eChanges = bOpensArray ? EChanges::Inside : EChanges::Done;
}

// The text is looked for only where it is kept: every other number costs nothing more.
void TVersionJsonHandler::NoteNumber() {
    const bool bChangeEntry = m_eChanges == EChanges::Inside && m_nDepth == kChangeEntries;
    NoteValue(bChangeEntry ? NumberText() : std::string_view(), false);
}

bool TVersionJsonHandler::Open() {
    if (++m_nDepth > kMaxDepth) return Refuse("nested deeper than 1024 levels");
    return true;
}

void TVersionJsonHandler::Close() { --m_nDepth; }

bool TVersionJsonHandler::Refuse(const char* reason) {
    m_strRefusal = reason;
    return false;
}

bool TVersionJsonHandler::Decodable(const char* text, rapidjson::SizeType length) {
    if (EncodesSurrogate(std::string_view(text, length))) return Refuse("a string escapes a lone surrogate");
    return true;
}

// The reader has just read the number, so the stream stands right after it;
// the character before a number is never one a number is made of.
std::string_view TVersionJsonHandler::NumberText() const {
    const char* end = m_Stream.src_;
    const char* begin = end;
    while (begin > m_Stream.begin_ && IsNumberChar(begin[-1])) --begin;
    return std::string_view(begin, static_cast<size_t>(end - begin));
}

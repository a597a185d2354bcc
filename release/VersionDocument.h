#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What a version document says about one file of the release.
struct TDocumentFile {
    std::string strFile;      // "/" separators; the installer turns them into back-slashes
    std::string strMd5;       // lower-case hex, also the package's name under files/
    std::uint32_t nSize = 0;  // bytes of the package, which is what the installer downloads
    std::string strProduct;   // empty: every edition
    // Signed releases only (empty: not written): lower-case hex SHA-256 of the
    // file's content and of its package.
    std::string strSha256;
    std::string strPackageSha256;
};

// The query a signed document answers, so that it cannot be served for
// another one: the product word, the channel path ("alpha/to/stable") and the
// last URL segment (the locale, "pt-br_x64").
struct TDocumentAnswers {
    std::string strProduct;
    std::string strChannel;
    std::string strLocale;
};

// A change-log entry; with products it is written as {"text", "products"}.
struct TDocumentChange {
    std::string strText;
    std::vector<std::string> arProducts;
};

// The release description that the version service answers with.
struct TVersionDocument {
    std::int32_t nMajor = 0, nMinor = 0, nRelease = 0, nBuild = 0;
    std::string strVideo;
    bool bIsLatest = false;
    bool bBugged = false;
    std::vector<std::string> arProducts;
    std::optional<TDocumentAnswers> answers;  // signed releases only
    std::string strExpires;                   // signed releases only: "YYYY-MM-DDTHH:MM:SSZ"
    std::vector<TDocumentChange> arChanges;
    std::vector<TDocumentFile> arFiles;
};

struct TVantixVersion;

// The document the writer makes of what the installer's reader read: file
// names with "/" again, the signed fields as read. The writer marks every file
// for installation; a caller that must not lose a file without it checks first.
TVersionDocument DocumentFromRelease(const TVantixVersion& release);

// The document as UTF-8 JSON, one file per line, ending with a line break. The
// same input always gives the same bytes, so a second publish can tell that
// nothing changed. Texts must be valid UTF-8 (the caller checks). What only
// signed releases carry is written only when set, so an unsigned document
// keeps exactly the bytes it always had.
std::string WriteVersionDocument(const TVersionDocument& doc);

// `text` as a JSON string literal, quotes included.
std::string JsonQuote(std::string_view text);

#pragma once
#include <stdexcept>
#include <string>
#include <string_view>

#include "service/VantixVersion.h"

// A release description that cannot be used: not JSON, not an object at the
// top, or a key missing or of the wrong type. The message names the key.
class TVersionFormatError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads one release description (a UTF-8 JSON document) into out.
//
// The whole document is validated first: one value with only white space
// around it, whose top level is an object. Keys match exactly; when an object
// holds a key twice the first one counts; unknown keys are ignored.
//
// Choices made where the format leaves room:
// - Whole numbers must be JSON integers (no fraction or exponent) in the
//   field's range; a number written as a JSON string is refused, like any other
//   wrong type.
// - Optional keys (a file's "size", "install", "product", "sha256" and
//   "package_sha256", the top-level "products", "answers" and "expires")
//   take their default when missing or unreadable: a "size" that is not a
//   whole number from 0 to 4294967295 reads as 0 (the download then takes any
//   length), a "product" that is not a string as "for every edition", a text
//   of a signed release as "" (which its checks then refuse).
//   Required keys that are missing or unreadable fail the query.
// - A change entry that is a number keeps its text exactly as written ("1.50").
// - Nesting deeper than 1024 levels is refused, and so is an escaped lone
//   surrogate ("\udc00"): it does not decode to UTF-8.
//
// Throws TVersionFormatError. Fields read before a failure stay in out.
void ReadVersionDocument(std::string_view json, TVantixVersion& out);

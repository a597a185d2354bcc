#pragma once
#include <stdexcept>

// A release that must not be published as asked (bad input, unsafe folder
// content). Raised before anything is written; the message is for the person
// publishing and names what to fix.
class TPublishError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

#pragma once
#include <any>
#include <cstdint>
#include <string>

// A posted message: number, two word-sized parameters, and the values that a
// Windows message would carry as heap pointers. Texts, records and lists travel
// as moved values, so the receiver owns them and nothing is freed by hand.
struct TMessage {
    uint32_t message = 0;
    uint64_t wParam = 0;
    int64_t lParam = 0;
    std::string text;   // heap text of wParam
    std::string text2;  // heap text of lParam
    std::any payload;   // a record or list carried by the message
};

// The platform's quit message: ends a message loop.
inline constexpr uint32_t WM_QUIT = 0x0012;

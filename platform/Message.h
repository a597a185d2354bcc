#pragma once
#include <any>
#include <cstdint>
#include <string>
#include <utility>

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

inline TMessage MakeMessage(uint32_t message, uint64_t wParam = 0, int64_t lParam = 0, std::string text = {},
                            std::string text2 = {}) {
    TMessage msg;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.text = std::move(text);
    msg.text2 = std::move(text2);
    return msg;
}

// The platform's quit message: ends a message loop. Windows' own headers name
// it already, with the same number.
#ifndef WM_QUIT
inline constexpr uint32_t WM_QUIT = 0x0012;
#else
static_assert(WM_QUIT == 0x0012);
#endif

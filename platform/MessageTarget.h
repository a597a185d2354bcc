#pragma once
#include "platform/Message.h"

// "The window" as the engine and workers see it: something that accepts posted
// messages from any thread. The Qt window, the headless runner and the tests each
// implement it. Post never blocks on the receiver and never throws.
class IMessageTarget {
public:
    virtual ~IMessageTarget() = default;
    virtual void Post(TMessage msg) = 0;

    void Post(uint32_t message, uint64_t wParam = 0, int64_t lParam = 0) { Post(MakeMessage(message, wParam, lParam)); }
    void PostText(uint32_t message, std::string text, uint64_t wParam = 0) {
        Post(MakeMessage(message, wParam, 0, std::move(text)));
    }
    void PostQuit() { Post(WM_QUIT); }
};

#pragma once
#include <QEvent>

#include "platform/Message.h"

// A message posted to the window from any thread, delivered on the window's
// thread as a Qt event that owns the message's texts and payload.
class TPostedMessageEvent : public QEvent {
public:
    static QEvent::Type EventType() {
        static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }
    explicit TPostedMessageEvent(TMessage msg) : QEvent(EventType()), m_Message(std::move(msg)) {}
    TMessage& Message() { return m_Message; }

private:
    TMessage m_Message;
};

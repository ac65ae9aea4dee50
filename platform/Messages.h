#pragma once
// Window messages between threads: a job posts a number and two integers to the QObject that stands
// for a window; the window's event() picks them out by number. Posting never waits for the receiver.

#include <QEvent>

#include <cstdint>

class QObject;

namespace platform {

class TMessageEvent final : public QEvent {
public:
    TMessageEvent(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);

    // The one event type that every posted message travels as.
    static QEvent::Type eventType();

    std::uint32_t Msg;
    std::uintptr_t WParam;  // wide enough for an address, as some messages carry one
    std::intptr_t LParam;
};

// The message carried by `event`, or nullptr when it is not a posted window message.
const TMessageEvent* AsMessage(const QEvent* event);

// Posts the message to `wnd` and returns at once. False when there is no window to post to.
// The receiver must outlive the post (Qt discards events still queued for a deleted object).
bool CheckPostMessage(QObject* wnd, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);

}  // namespace platform

#pragma once
// Window messages between threads: a job posts a number, with two plain integers or a typed payload,
// to the QObject that stands for a window; the window's event() picks them out by number. Posting
// never waits for the receiver.

#include <QCoreApplication>
#include <QEvent>

#include <cstdint>
#include <memory>
#include <utility>

class QObject;

namespace platform {

class TMessageEvent : public QEvent {
public:
    TMessageEvent(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);

    // The one event type that every posted message travels as, so that all keep their posting order.
    static QEvent::Type eventType();

    std::uint32_t Msg;
    std::uintptr_t WParam;  // plain numbers only: anything more travels as a TPayloadMessage
    std::intptr_t LParam;
};

// A message whose data travels as a value owned by the event: the receiver reads it typed, and
// nothing it holds depends on the sender (or its thread) still being there.
template <class TPayload>
class TPayloadMessage final : public TMessageEvent {
public:
    TPayloadMessage(std::uint32_t msg, TPayload payload)
        : TMessageEvent(msg, 0, 0), Payload(std::move(payload)) {}

    const TPayload Payload;
};

// The message carried by `event`, or nullptr when it is not a posted window message.
const TMessageEvent* AsMessage(const QEvent* event);

// The payload of type TPayload carried by `event`, or nullptr when it carries none of that type.
template <class TPayload>
const TPayload* PayloadOf(const QEvent* event) {
    const auto* message = dynamic_cast<const TPayloadMessage<TPayload>*>(AsMessage(event));
    return message ? &message->Payload : nullptr;
}

// Posts the message to `wnd` and returns at once. False when there is no window to post to.
// The receiver must outlive the post (Qt discards events still queued for a deleted object).
bool CheckPostMessage(QObject* wnd, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);

// As CheckPostMessage, with the payload moved into the event.
template <class TPayload>
bool PostPayload(QObject* wnd, std::uint32_t msg, TPayload payload) {
    if (wnd == nullptr) return false;
    // The event queue takes ownership of the event, and with it of the payload.
    QCoreApplication::postEvent(
        wnd, std::make_unique<TPayloadMessage<TPayload>>(msg, std::move(payload)).release());
    return true;
}

// One handler per alternative of a variant payload: std::visit(TOverloaded{[](const A&) {}, ...}, v).
// A payload type without a handler fails to compile.
template <class... THandlers>
struct TOverloaded : THandlers... {
    using THandlers::operator()...;
};
template <class... THandlers>
TOverloaded(THandlers...) -> TOverloaded<THandlers...>;

}  // namespace platform

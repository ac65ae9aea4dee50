#include "platform/Messages.h"

#include <QCoreApplication>

#include <memory>

namespace platform {

TMessageEvent::TMessageEvent(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam)
    : QEvent(eventType()), Msg(msg), WParam(wParam), LParam(lParam) {}

QEvent::Type TMessageEvent::eventType() {
    // Registered once, thread-safely, on first use.
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

const TMessageEvent* AsMessage(const QEvent* event) {
    return event && event->type() == TMessageEvent::eventType() ? static_cast<const TMessageEvent*>(event)
                                                                : nullptr;
}

bool CheckPostMessage(QObject* wnd, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
    if (wnd == nullptr) return false;
    // The event queue takes ownership of the event.
    QCoreApplication::postEvent(wnd, std::make_unique<TMessageEvent>(msg, wParam, lParam).release());
    return true;
}

}  // namespace platform

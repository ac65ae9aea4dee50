#include "engine/JobMessages.h"

#include "platform/Messages.h"

namespace engine {

std::uint32_t MessageNumber(const TJobMessage& message) {
    return std::visit([](const auto& payload) { return payload.Msg; }, message);
}

bool PostJobMessage(QObject* wnd, TJobMessage message) {
    const std::uint32_t msg = MessageNumber(message);
    return platform::PostPayload(wnd, msg, std::move(message));
}

const TJobMessage* AsJobMessage(const QEvent* event) {
    return platform::PayloadOf<TJobMessage>(event);
}

}  // namespace engine

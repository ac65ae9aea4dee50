#include "platform/WindowSystem.h"

#include <QGuiApplication>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace platform {

namespace {

// _NET_WM_MOVERESIZE's direction that cancels, its button and its source (a normal application).
constexpr std::uint32_t kMoveResizeCancel = 11;
constexpr std::uint32_t kLeftButton = 1;
constexpr std::uint32_t kSourceApplication = 1;

struct FreeReply {
    void operator()(void* reply) const { std::free(reply); }
};

xcb_atom_t MoveResizeAtom(xcb_connection_t* connection) {
    static constexpr char kName[] = "_NET_WM_MOVERESIZE";
    const std::unique_ptr<xcb_intern_atom_reply_t, FreeReply> reply(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 1, std::strlen(kName), kName), nullptr));
    return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

xcb_window_t RootOf(xcb_connection_t* connection, xcb_window_t window) {
    const std::unique_ptr<xcb_get_geometry_reply_t, FreeReply> reply(
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr));
    return reply ? reply->root : static_cast<xcb_window_t>(XCB_WINDOW_NONE);
}

}  // namespace

void CancelSystemMoveResize(QWindow* window) {
    const auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (x11 == nullptr || window == nullptr || window->handle() == nullptr) return;
    xcb_connection_t* connection = x11->connection();
    const auto target = static_cast<xcb_window_t>(window->winId());
    const xcb_atom_t moveResize = MoveResizeAtom(connection);
    const xcb_window_t root = RootOf(connection, target);
    if (moveResize == XCB_ATOM_NONE || root == XCB_WINDOW_NONE) return;

    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = target;
    message.type = moveResize;
    message.data.data32[2] = kMoveResizeCancel;
    message.data.data32[3] = kLeftButton;
    message.data.data32[4] = kSourceApplication;
    xcb_send_event(connection, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(connection);
}

}  // namespace platform

#include "platform/WindowSystem.h"

#include <QGuiApplication>
#include <QRegularExpression>
#include <QString>
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

xcb_atom_t Atom(xcb_connection_t* connection, const char* name) {
    const std::unique_ptr<xcb_intern_atom_reply_t, FreeReply> reply(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 1, std::strlen(name), name), nullptr));
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
    const xcb_atom_t moveResize = Atom(connection, "_NET_WM_MOVERESIZE");
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

void UseActivationToken(QWindow* window, const QString& token) {
    if (token.isEmpty() || window == nullptr) return;
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        // Qt's Wayland activation takes a token from here once, and clears it.
        qputenv("XDG_ACTIVATION_TOKEN", token.toUtf8());
        return;
    }
    const auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (x11 == nullptr || window->handle() == nullptr) return;
    // The X11 start-up ID ends with the time of the user's launch: an activation at that time is the
    // user's, not a program's stealing the focus.
    static const QRegularExpression kLaunchTime(QStringLiteral("_TIME(\\d+)$"));
    const QRegularExpressionMatch launch = kLaunchTime.match(token);
    if (!launch.hasMatch()) return;
    xcb_connection_t* connection = x11->connection();
    const auto target = static_cast<xcb_window_t>(window->winId());
    const xcb_atom_t activeWindow = Atom(connection, "_NET_ACTIVE_WINDOW");
    const xcb_window_t root = RootOf(connection, target);
    if (activeWindow == XCB_ATOM_NONE || root == XCB_WINDOW_NONE) return;

    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = target;
    message.type = activeWindow;
    message.data.data32[0] = kSourceApplication;
    message.data.data32[1] = launch.captured(1).toUInt();
    xcb_send_event(connection, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(connection);
}

}  // namespace platform

#include "platform/WindowSystem.h"

#include <QGuiApplication>
#include <QRegularExpression>
#include <QString>
#include <QWindow>

#include <xcb/xcb.h>

#include <algorithm>
#include <array>
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

// A request about `target` to the window manager (the window manager standard's client message on
// the root window), with its five 32-bit values.
void SendToWindowManager(xcb_connection_t* connection, xcb_window_t root, xcb_window_t target,
                         xcb_atom_t type, const std::array<std::uint32_t, 5>& values) {
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = target;
    message.type = type;
    std::copy(values.begin(), values.end(), message.data.data32);
    xcb_send_event(connection, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
}

// A value of a start-up notification message: quoted when it holds a blank, a quote or a backslash.
QByteArray StartupValue(QByteArray value) {
    if (!value.contains(' ') && !value.contains('"') && !value.contains('\\')) return value;
    value.replace("\\", "\\\\").replace("\"", "\\\"");
    return '"' + value + '"';
}

// Broadcasts a start-up notification message (the freedesktop.org protocol): the text and a closing
// zero byte, 20 bytes per client message, the first of type _NET_STARTUP_INFO_BEGIN.
void SendStartupMessage(xcb_connection_t* connection, xcb_window_t root, xcb_window_t from,
                        const QByteArray& text) {
    const xcb_atom_t begin = Atom(connection, "_NET_STARTUP_INFO_BEGIN");
    const xcb_atom_t more = Atom(connection, "_NET_STARTUP_INFO");
    if (begin == XCB_ATOM_NONE || more == XCB_ATOM_NONE) return;
    const QByteArray bytes = text + '\0';
    constexpr qsizetype kChunk = 20;
    for (qsizetype at = 0; at < bytes.size(); at += kChunk) {
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 8;
        message.window = from;
        message.type = at == 0 ? begin : more;
        std::memcpy(message.data.data8, bytes.constData() + at, std::min(kChunk, bytes.size() - at));
        xcb_send_event(connection, 0, root, XCB_EVENT_MASK_PROPERTY_CHANGE,
                       reinterpret_cast<const char*>(&message));
    }
}

// The X server's connection when the windows are X11 windows; null on Wayland and offscreen (whose
// X11 interface may exist without a connection).
xcb_connection_t* X11Connection() {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return nullptr;
    const auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

}  // namespace

void CancelSystemMoveResize(QWindow* window) {
    xcb_connection_t* connection = X11Connection();
    if (connection == nullptr || window == nullptr || window->handle() == nullptr) return;
    const auto target = static_cast<xcb_window_t>(window->winId());
    const xcb_atom_t moveResize = Atom(connection, "_NET_WM_MOVERESIZE");
    const xcb_window_t root = RootOf(connection, target);
    if (moveResize == XCB_ATOM_NONE || root == XCB_WINDOW_NONE) return;

    SendToWindowManager(connection, root, target, moveResize,
                        {0, 0, kMoveResizeCancel, kLeftButton, kSourceApplication});
    xcb_flush(connection);
}

void UseActivationToken(QWindow* window, const QString& token) {
    if (token.isEmpty() || window == nullptr) return;
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        // Qt's Wayland activation takes a token from here once, and clears it.
        qputenv("XDG_ACTIVATION_TOKEN", token.toUtf8());
        return;
    }
    xcb_connection_t* connection = X11Connection();
    if (connection == nullptr || window->handle() == nullptr) return;
    const auto target = static_cast<xcb_window_t>(window->winId());
    const xcb_window_t root = RootOf(connection, target);
    if (root == XCB_WINDOW_NONE) return;

    // The X11 start-up ID ends with the time of the user's launch: an activation at that time is the
    // user's, not a program's stealing the focus.
    static const QRegularExpression kLaunchTime(QStringLiteral("_TIME(\\d+)$"));
    const QRegularExpressionMatch launch = kLaunchTime.match(token);
    const xcb_atom_t activeWindow = Atom(connection, "_NET_ACTIVE_WINDOW");
    if (launch.hasMatch() && activeWindow != XCB_ATOM_NONE)
        SendToWindowManager(connection, root, target, activeWindow,
                            {kSourceApplication, launch.captured(1).toUInt(), 0, 0, 0});
    // The launch that carried the token ends here: its start never shows a window of its own, and
    // without this the launcher's busy pointer would spin until it gives up.
    SendStartupMessage(connection, root, target, "remove: ID=" + StartupValue(token.toUtf8()));
    xcb_flush(connection);
}

}  // namespace platform

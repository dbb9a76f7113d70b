#include "WindowFront.h"

#include <QGuiApplication>
#include <QWidget>

#ifdef KIBU_X11
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace {

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t result = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return result;
}

bool windowManagerActivates(xcb_connection_t* c, xcb_window_t root, xcb_atom_t activate) {
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, root, atom(c, "_NET_SUPPORTED"), XCB_ATOM_ATOM, 0, 1024),
        nullptr);
    bool found = false;
    if (reply && reply->format == 32) {
        const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
        const auto* end = atoms + xcb_get_property_value_length(reply) / 4;
        found = std::find(atoms, end, activate) != end;
    }
    std::free(reply);
    return found;
}

// Qt asks for the focus with the time of the last event it saw, older than
// the focus the other window got since; the window manager, or the X server
// without one, turns such a request down. The user has just asked for the
// player, so it is asked for as a pager asks on the user's behalf: now.
void activateOnX11(QWidget* window) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11)
        return;
    xcb_connection_t* c = x11->connection();
    const auto id = xcb_window_t(window->winId());
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const xcb_atom_t activate = atom(c, "_NET_ACTIVE_WINDOW");
    if (windowManagerActivates(c, root, activate)) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = id;
        event.type = activate;
        event.data.data32[0] = 2; // from a pager
        event.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(c, 0, root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                       reinterpret_cast<const char*>(&event));
    } else {
        xcb_set_input_focus(c, XCB_INPUT_FOCUS_PARENT, id, XCB_CURRENT_TIME);
    }
    xcb_flush(c);
}

} // namespace
#endif

void WindowFront::bring(QWidget* window) {
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
#ifdef KIBU_X11
    activateOnX11(window);
#endif
}

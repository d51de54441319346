#include "x11.h"

#include <QGuiApplication>
#include <QVector>
#include <xcb/shape.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace X11 {

namespace {

xcb_connection_t *connection()
{
    if (!qGuiApp)
        return nullptr;
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

xcb_window_t rootWindow(xcb_connection_t *c)
{
    return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
}

xcb_atom_t atom(xcb_connection_t *c, const char *name)
{
    const auto cookie = xcb_intern_atom(c, 0, static_cast<uint16_t>(strlen(name)), name);
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(c, cookie, nullptr);
    if (!reply)
        return XCB_ATOM_NONE;
    const xcb_atom_t result = reply->atom;
    free(reply);
    return result;
}

} // namespace

bool available()
{
    return connection() != nullptr;
}

std::optional<Pointer> queryPointer(unsigned long window)
{
    xcb_connection_t *c = connection();
    if (!c || !window)
        return std::nullopt;
    // A window that is gone answers with an error, taken here rather than
    // reported as an X error.
    xcb_generic_error_t *error = nullptr;
    xcb_query_pointer_reply_t *reply
        = xcb_query_pointer_reply(c, xcb_query_pointer(c, xcb_window_t(window)), &error);
    free(error);
    if (!reply)
        return std::nullopt;
    const Pointer result { QPoint(reply->root_x, reply->root_y), QPoint(reply->win_x, reply->win_y),
        reply->same_screen != 0 };
    free(reply);
    return result;
}

bool setInputShape(unsigned long window, const QRegion &region)
{
    xcb_connection_t *c = connection();
    if (!c || !window)
        return false;
    QVector<xcb_rectangle_t> rects;
    for (const QRect &r : region)
        rects.append({ int16_t(r.x()), int16_t(r.y()), uint16_t(r.width()), uint16_t(r.height()) });
    xcb_shape_rectangles(c, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, XCB_CLIP_ORDERING_UNSORTED,
        xcb_window_t(window), 0, 0, uint32_t(rects.size()), rects.constData());
    xcb_flush(c);
    return true;
}

bool addSkipTaskbarState(unsigned long window)
{
    xcb_connection_t *c = connection();
    if (!c || !window)
        return false;
    const xcb_atom_t states[]
        = { atom(c, "_NET_WM_STATE_SKIP_TASKBAR"), atom(c, "_NET_WM_STATE_SKIP_PAGER") };
    xcb_change_property(c, XCB_PROP_MODE_APPEND, xcb_window_t(window), atom(c, "_NET_WM_STATE"),
        XCB_ATOM_ATOM, 32, 2, states);
    xcb_flush(c);
    return true;
}

std::optional<bool> leftButtonDown()
{
    xcb_connection_t *c = connection();
    if (!c)
        return std::nullopt;
    xcb_query_pointer_reply_t *reply
        = xcb_query_pointer_reply(c, xcb_query_pointer(c, rootWindow(c)), nullptr);
    if (!reply)
        return std::nullopt;
    const bool down = reply->mask & XCB_KEY_BUT_MASK_BUTTON_1;
    free(reply);
    return down;
}

} // namespace X11

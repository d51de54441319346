#include "x11.h"
#include "x11_xcb.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QSysInfo>
#include <QVector>
#include <xcb/shape.h>
#include <xcb/xcb.h>

#include <cstring>

namespace X11 {

namespace {

xcb_connection_t *askQt()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

} // namespace

xcb_connection_t *connection()
{
    // Asked on every tick, on the main thread: the answer is kept for as
    // long as the application it came from.
    static const QGuiApplication *askedOf = nullptr;
    static xcb_connection_t *answer = nullptr;
    if (qGuiApp != askedOf) {
        askedOf = qGuiApp;
        answer = askQt();
    }
    return answer;
}

xcb_window_t rootWindow(xcb_connection_t *c)
{
    return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
}

namespace {

xcb_atom_t atom(xcb_connection_t *c, const char *name)
{
    const auto cookie = xcb_intern_atom(c, 0, static_cast<uint16_t>(strlen(name)), name);
    const Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(c, cookie, nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
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
    return pointerFrom(
        xcb_query_pointer_reply(c, xcb_query_pointer(c, xcb_window_t(window)), &error), error);
}

std::optional<Pointer> pointerFrom(xcb_query_pointer_reply_t *answer, xcb_generic_error_t *error)
{
    const Reply<xcb_query_pointer_reply_t> reply(answer);
    const Reply<xcb_generic_error_t> dropped(error);
    if (!reply)
        return std::nullopt;
    return Pointer { QPoint(reply->root_x, reply->root_y), QPoint(reply->win_x, reply->win_y),
        reply->same_screen != 0 };
}

namespace {

void setShape(
    xcb_connection_t *c, xcb_window_t window, xcb_shape_kind_t kind, const QRegion &region)
{
    QVector<xcb_rectangle_t> rects;
    for (const QRect &r : region)
        rects.append({ int16_t(r.x()), int16_t(r.y()), uint16_t(r.width()), uint16_t(r.height()) });
    xcb_shape_rectangles(c, XCB_SHAPE_SO_SET, kind, XCB_CLIP_ORDERING_UNSORTED, window, 0, 0,
        uint32_t(rects.size()), rects.constData());
}

} // namespace

bool setShapes(unsigned long window, const QRegion &region)
{
    xcb_connection_t *c = connection();
    if (!c || !window)
        return false;
    setShape(c, xcb_window_t(window), XCB_SHAPE_SK_BOUNDING, region);
    setShape(c, xcb_window_t(window), XCB_SHAPE_SK_INPUT, region);
    xcb_flush(c);
    return true;
}

bool setOnTopLayer(unsigned long window, bool onTop)
{
    xcb_connection_t *c = connection();
    if (!c || !window)
        return false;
    constexpr uint32_t NormalLayer = 4;
    constexpr uint32_t OnTopLayer = 6;
    xcb_client_message_event_t message = {};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = xcb_window_t(window);
    message.type = atom(c, "_WIN_LAYER");
    message.data.data32[0] = onTop ? OnTopLayer : NormalLayer;
    xcb_send_event(c, 0, rootWindow(c),
        XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
        reinterpret_cast<const char *>(&message));
    xcb_flush(c);
    return true;
}

namespace {

// The window's outermost ancestor below the root: the window manager's frame,
// or the window itself when nothing reparented it.
xcb_window_t frameOf(xcb_connection_t *c, xcb_window_t window)
{
    for (;;) {
        const Reply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr));
        if (!tree || tree->parent == tree->root || tree->parent == XCB_WINDOW_NONE)
            return window;
        window = tree->parent;
    }
}

// How far the client area lies right of and below its frame's outer corner.
QPoint frameOffset(xcb_connection_t *c, xcb_window_t window)
{
    const Reply<xcb_get_geometry_reply_t> outer(
        xcb_get_geometry_reply(c, xcb_get_geometry(c, frameOf(c, window)), nullptr));
    const Reply<xcb_translate_coordinates_reply_t> client(xcb_translate_coordinates_reply(
        c, xcb_translate_coordinates(c, window, rootWindow(c), 0, 0), nullptr));
    if (!outer || !client)
        return {};
    return QPoint(client->dst_x - outer->x, client->dst_y - outer->y);
}

// Asks the window manager to take the window's move requests as the place
// of the client area itself (static gravity in WM_NORMAL_HINTS), the one
// reading every window manager agrees on.
void useStaticGravity(xcb_connection_t *c, xcb_window_t window)
{
    constexpr uint32_t PWinGravity = 1 << 9;
    constexpr int Fields = 18;
    constexpr int GravityField = 17;
    const Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(c,
        xcb_get_property(c, 0, window, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS, 0, Fields),
        nullptr));
    uint32_t hints[Fields] = {};
    if (reply && reply->format == 32 && xcb_get_property_value_length(reply.get()) >= Fields * 4)
        memcpy(hints, xcb_get_property_value(reply.get()), sizeof hints);
    if ((hints[0] & PWinGravity) && hints[GravityField] == XCB_GRAVITY_STATIC)
        return;
    hints[0] |= PWinGravity;
    hints[GravityField] = XCB_GRAVITY_STATIC;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NORMAL_HINTS,
        XCB_ATOM_WM_SIZE_HINTS, 32, Fields, hints);
}

} // namespace

bool resizeTo(unsigned long window, QSize size)
{
    xcb_connection_t *c = connection();
    if (!c || !window)
        return false;
    const Reply<xcb_get_geometry_reply_t> now(
        xcb_get_geometry_reply(c, xcb_get_geometry(c, xcb_window_t(window)), nullptr));
    if (now && now->width == size.width() && now->height == size.height())
        return true;
    const uint32_t values[] = { uint32_t(size.width()), uint32_t(size.height()) };
    xcb_configure_window(
        c, xcb_window_t(window), XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, values);
    xcb_flush(c);
    return true;
}

bool moveClientTo(unsigned long window, QPoint rootPoint)
{
    xcb_connection_t *c = connection();
    if (!c || !window)
        return false;
    const auto id = xcb_window_t(window);
    // Only a frame that adds something (a caption) needs the client area's
    // own place; where frame and client coincide, any gravity agrees.
    if (frameOf(c, id) != id && frameOffset(c, id) != QPoint(0, 0))
        useStaticGravity(c, id);
    const uint32_t values[] = { uint32_t(rootPoint.x()), uint32_t(rootPoint.y()) };
    xcb_configure_window(c, id, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, values);
    xcb_flush(c);
    return true;
}

namespace {

// Whether the window is withdrawn: unmapped, on the root window and without
// a window manager's WM_STATE other than withdrawn. A window the window
// manager hid (iconified, on another desktop) keeps its WM_STATE or frame.
bool isWithdrawn(xcb_connection_t *c, xcb_window_t window)
{
    const Reply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr));
    if (!attributes || attributes->map_state != XCB_MAP_STATE_UNMAPPED
        || frameOf(c, window) != window)
        return false;
    constexpr uint32_t WithdrawnState = 0;
    const xcb_atom_t wmState = atom(c, "WM_STATE");
    const Reply<xcb_get_property_reply_t> state(
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, wmState, wmState, 0, 1), nullptr));
    return !state || xcb_get_property_value_length(state.get()) < 4
        || *static_cast<const uint32_t *>(xcb_get_property_value(state.get())) == WithdrawnState;
}

// The server's own notices about windows of ours. Another client can send
// any event to any window (XSendEvent); such sent events are not the
// server's word and are taken out before Qt sees them.
class WindowWatch : public QAbstractNativeEventFilter
{
public:
    std::function<void(unsigned long)> destroyed;
    std::function<void(unsigned long)> mapped;
    std::function<void(unsigned long)> withdrawn;

    static WindowWatch &installed()
    {
        static WindowWatch *const watch = [] {
            static WindowWatch filter;
            QCoreApplication::instance()->installNativeEventFilter(&filter);
            return &filter;
        }();
        return *watch;
    }

    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *) override
    {
        if (type != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        const bool sent = event->response_type & 0x80;
        switch (event->response_type & 0x7f) {
        case XCB_DESTROY_NOTIFY:
            if (sent)
                return true;
            if (destroyed)
                destroyed(reinterpret_cast<const xcb_destroy_notify_event_t *>(event)->window);
            return false;
        case XCB_MAP_NOTIFY:
            if (!sent && mapped)
                mapped(reinterpret_cast<const xcb_map_notify_event_t *>(event)->window);
            return false;
        // What a withdrawal brings, in the order the window manager does it.
        case XCB_UNMAP_NOTIFY:
            return checkWithdrawn(
                sent, reinterpret_cast<const xcb_unmap_notify_event_t *>(event)->window);
        case XCB_REPARENT_NOTIFY:
            return checkWithdrawn(
                sent, reinterpret_cast<const xcb_reparent_notify_event_t *>(event)->window);
        case XCB_PROPERTY_NOTIFY: {
            const auto *notify = reinterpret_cast<const xcb_property_notify_event_t *>(event);
            return notify->atom == wmState() && checkWithdrawn(sent, notify->window);
        }
        default:
            return false;
        }
    }

private:
    bool checkWithdrawn(bool sent, xcb_window_t window)
    {
        if (!sent && withdrawn && isWithdrawn(connection(), window))
            withdrawn(window);
        return false;
    }

    xcb_atom_t wmState()
    {
        if (m_wmState == XCB_ATOM_NONE)
            m_wmState = atom(connection(), "WM_STATE");
        return m_wmState;
    }

    xcb_atom_t m_wmState = XCB_ATOM_NONE;
};

} // namespace

void watchDestroyed(const std::function<void(unsigned long)> &destroyed)
{
    if (connection())
        WindowWatch::installed().destroyed = destroyed;
}

void watchMapping(const std::function<void(unsigned long)> &mapped,
    const std::function<void(unsigned long)> &withdrawn)
{
    if (!connection())
        return;
    WindowWatch::installed().mapped = mapped;
    WindowWatch::installed().withdrawn = withdrawn;
}

bool mapWindow(unsigned long window)
{
    xcb_connection_t *c = connection();
    if (!c || !window)
        return false;
    xcb_map_window(c, xcb_window_t(window));
    xcb_flush(c);
    return true;
}

namespace {

xcb_connection_t *checkConnection = nullptr;

} // namespace

bool canConnect(const char *display)
{
    xcb_connection_t *c = xcb_connect(display, nullptr);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return false;
    }
    checkConnection = c;
    return true;
}

void endConnectCheck()
{
    if (checkConnection)
        xcb_disconnect(checkConnection);
    checkConnection = nullptr;
}

bool connectionBroken()
{
    // Asked from any thread: the main thread's kept answer is not shared.
    xcb_connection_t *c = askQt();
    return c && xcb_connection_has_error(c);
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

bool setStates(unsigned long window, const QList<QByteArray> &states)
{
    xcb_connection_t *c = connection();
    if (!c || !window)
        return false;
    QVector<xcb_atom_t> atoms;
    for (const QByteArray &state : states)
        atoms.append(atom(c, state.constData()));
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, xcb_window_t(window), atom(c, "_NET_WM_STATE"),
        XCB_ATOM_ATOM, 32, uint32_t(atoms.size()), atoms.constData());
    xcb_flush(c);
    return true;
}

bool addState(unsigned long window, const char *state)
{
    xcb_connection_t *c = connection();
    if (!c || !window)
        return false;
    constexpr uint32_t Add = 1;
    constexpr uint32_t FromApplication = 1;
    xcb_client_message_event_t message = {};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = xcb_window_t(window);
    message.type = atom(c, "_NET_WM_STATE");
    message.data.data32[0] = Add;
    message.data.data32[1] = atom(c, state);
    message.data.data32[3] = FromApplication;
    xcb_send_event(c, 0, rootWindow(c),
        XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
        reinterpret_cast<const char *>(&message));
    xcb_flush(c);
    return true;
}

namespace {

// Whether the window's pixels are laid out as QImage::Format_RGB32 holds
// them: depth 24 in 32 bits, this machine's byte order, and a true-colour
// visual with red, green and blue in the usual places.
bool holdsRgb32(xcb_connection_t *c, xcb_window_t window)
{
    const xcb_setup_t *setup = xcb_get_setup(c);
    const bool littleEndian = QSysInfo::ByteOrder == QSysInfo::LittleEndian;
    if ((setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST) != littleEndian)
        return false;
    bool thirtyTwoBits = false;
    for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem; xcb_format_next(&f)) {
        if (f.data->depth == 24)
            thirtyTwoBits = f.data->bits_per_pixel == 32;
    }
    const Reply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr));
    if (!thirtyTwoBits || !attributes)
        return false;
    for (auto s = xcb_setup_roots_iterator(setup); s.rem; xcb_screen_next(&s)) {
        for (auto d = xcb_screen_allowed_depths_iterator(s.data); d.rem; xcb_depth_next(&d)) {
            for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v)) {
                if (v.data->visual_id == attributes->visual)
                    return d.data->depth == 24 && v.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR
                        && v.data->red_mask == 0xff0000 && v.data->green_mask == 0xff00
                        && v.data->blue_mask == 0xff;
            }
        }
    }
    return false;
}

} // namespace

bool putImage(unsigned long window, QPoint at, const QImage &image)
{
    xcb_connection_t *c = connection();
    if (!c || !window || image.format() != QImage::Format_RGB32 || image.isNull())
        return false;
    // The window's layout is asked once; the program draws on one window.
    static xcb_window_t checked = XCB_NONE;
    static bool suits = false;
    static xcb_gcontext_t gc = XCB_NONE;
    if (checked != window) {
        checked = xcb_window_t(window);
        suits = holdsRgb32(c, checked);
        if (suits && gc == XCB_NONE) {
            gc = xcb_generate_id(c);
            const uint32_t noExposures = 0;
            xcb_create_gc(c, gc, checked, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
        }
    }
    const uint64_t bytes = uint64_t(image.sizeInBytes());
    if (!suits || bytes + 32 > uint64_t(xcb_get_maximum_request_length(c)) * 4)
        return false;
    // Should the window go at this moment, the error is dropped unseen.
    const xcb_void_cookie_t cookie = xcb_put_image_checked(c, XCB_IMAGE_FORMAT_Z_PIXMAP, checked,
        gc, uint16_t(image.width()), uint16_t(image.height()), int16_t(at.x()), int16_t(at.y()), 0,
        24, uint32_t(bytes), image.constBits());
    xcb_discard_reply(c, cookie.sequence);
    return true;
}

void flush()
{
    if (xcb_connection_t *c = connection())
        xcb_flush(c);
}

std::optional<bool> leftButtonDown()
{
    xcb_connection_t *c = connection();
    if (!c)
        return std::nullopt;
    const Reply<xcb_query_pointer_reply_t> reply(
        xcb_query_pointer_reply(c, xcb_query_pointer(c, rootWindow(c)), nullptr));
    if (!reply)
        return std::nullopt;
    return (reply->mask & XCB_KEY_BUT_MASK_BUTTON_1) != 0;
}

} // namespace X11

#include "x11.h"
#include "xcb.h"

#include <QGuiApplication>
#include <QSysInfo>
#include <QVector>
#include <xcb/shape.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>

namespace X11 {

xcb_connection_t *connection()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_window_t rootWindow(xcb_connection_t *c)
{
    return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
}

xcb_atom_t atom(xcb_connection_t *c, const char *name)
{
    const auto cookie = xcb_intern_atom(c, 0, static_cast<uint16_t>(strlen(name)), name);
    const Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(c, cookie, nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

Connection::Connection(const char *display)
    : m_connection(xcb_connect(display, nullptr))
{
    if (xcb_connection_has_error(m_connection)) {
        xcb_disconnect(m_connection);
        m_connection = nullptr;
    }
}

Connection::~Connection()
{
    if (m_connection)
        xcb_disconnect(m_connection);
}

bool hasExtension(xcb_connection_t *c, xcb_extension_t *extension)
{
    // xcb closes the whole connection on a request of an extension the
    // server lacks, or hides from an untrusted client: ask first.
    const xcb_query_extension_reply_t *data = xcb_get_extension_data(c, extension);
    return data && data->present;
}

bool available()
{
    return connection() != nullptr;
}

std::optional<Pointer> queryPointer(unsigned long window)
{
    xcb_connection_t *c = connection();
    if (!c)
        return std::nullopt;
    const xcb_window_t target = window ? xcb_window_t(window) : rootWindow(c);
    // A window that is gone answers with an error, taken here rather than
    // reported as an X error.
    xcb_generic_error_t *error = nullptr;
    return pointerFrom(xcb_query_pointer_reply(c, xcb_query_pointer(c, target), &error), error);
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

bool connectionBroken()
{
    // Asked from any thread, of Qt's connection as it is at that moment.
    xcb_connection_t *c = connection();
    return c && xcb_connection_has_error(c);
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

namespace {

// Qt's connection, for a window of the program's; none without either.
xcb_connection_t *connectionFor(unsigned long window)
{
    return window ? connection() : nullptr;
}

void setShape(
    xcb_connection_t *c, xcb_window_t window, xcb_shape_kind_t kind, const QRegion &region)
{
    QVector<xcb_rectangle_t> rects;
    for (const QRect &r : region)
        rects.append({ int16_t(r.x()), int16_t(r.y()), uint16_t(r.width()), uint16_t(r.height()) });
    xcb_shape_rectangles(c, XCB_SHAPE_SO_SET, kind, XCB_CLIP_ORDERING_UNSORTED, window, 0, 0,
        uint32_t(rects.size()), rects.constData());
}

// A message to the window manager about one of our windows, sent as the
// window manager specifications ask: to the root window.
void tellWindowManager(xcb_connection_t *c, xcb_window_t window, const char *type,
    std::initializer_list<uint32_t> data)
{
    xcb_client_message_event_t message = {};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = atom(c, type);
    std::copy(data.begin(), data.end(), message.data.data32);
    xcb_send_event(c, 0, rootWindow(c),
        XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
        reinterpret_cast<const char *>(&message));
    xcb_flush(c);
}

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

// The depth of the window when its pixels are laid out as QImage holds them:
// 24 as Format_RGB32, 32 as Format_ARGB32_Premultiplied (a window with an
// alpha channel, which compositors blend). Either takes 32 bits a pixel in
// this machine's byte order, in a true-colour visual with red, green and
// blue in the usual places. 0 for any other window.
int pixelDepth(xcb_connection_t *c, xcb_window_t window)
{
    const xcb_setup_t *setup = xcb_get_setup(c);
    const bool littleEndian = QSysInfo::ByteOrder == QSysInfo::LittleEndian;
    if ((setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST) != littleEndian)
        return 0;
    const Reply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr));
    if (!attributes)
        return 0;
    int depth = 0;
    for (auto s = xcb_setup_roots_iterator(setup); s.rem && !depth; xcb_screen_next(&s)) {
        for (auto d = xcb_screen_allowed_depths_iterator(s.data); d.rem; xcb_depth_next(&d)) {
            for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v)) {
                if (v.data->visual_id == attributes->visual
                    && v.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR && v.data->red_mask == 0xff0000
                    && v.data->green_mask == 0xff00 && v.data->blue_mask == 0xff)
                    depth = d.data->depth;
            }
        }
    }
    if (depth != 24 && depth != 32)
        return 0;
    for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem; xcb_format_next(&f)) {
        if (f.data->depth == depth)
            return f.data->bits_per_pixel == 32 ? depth : 0;
    }
    return 0;
}

} // namespace

bool canShape()
{
    xcb_connection_t *c = connection();
    return c && hasExtension(c, &xcb_shape_id);
}

void setShapes(unsigned long window, const QRegion &region)
{
    xcb_connection_t *c = connectionFor(window);
    if (!c || !hasExtension(c, &xcb_shape_id))
        return;
    setShape(c, xcb_window_t(window), XCB_SHAPE_SK_BOUNDING, region);
    setShape(c, xcb_window_t(window), XCB_SHAPE_SK_INPUT, region);
    xcb_flush(c);
}

void setOnTopLayer(unsigned long window, bool onTop)
{
    xcb_connection_t *c = connectionFor(window);
    if (!c)
        return;
    constexpr uint32_t NormalLayer = 4;
    constexpr uint32_t OnTopLayer = 6;
    tellWindowManager(c, xcb_window_t(window), "_WIN_LAYER", { onTop ? OnTopLayer : NormalLayer });
}

void addState(unsigned long window, const char *state)
{
    xcb_connection_t *c = connectionFor(window);
    if (!c)
        return;
    constexpr uint32_t Add = 1;
    constexpr uint32_t FromApplication = 1;
    tellWindowManager(
        c, xcb_window_t(window), "_NET_WM_STATE", { Add, atom(c, state), 0, FromApplication });
}

void setStates(unsigned long window, const QList<QByteArray> &states, StateChange change)
{
    xcb_connection_t *c = connectionFor(window);
    if (!c)
        return;
    QVector<xcb_atom_t> atoms;
    for (const QByteArray &state : states)
        atoms.append(atom(c, state.constData()));
    xcb_change_property(c,
        change == StateChange::Append ? XCB_PROP_MODE_APPEND : XCB_PROP_MODE_REPLACE,
        xcb_window_t(window), atom(c, "_NET_WM_STATE"), XCB_ATOM_ATOM, 32, uint32_t(atoms.size()),
        atoms.constData());
    xcb_flush(c);
}

void resizeTo(unsigned long window, QSize size)
{
    xcb_connection_t *c = connectionFor(window);
    if (!c)
        return;
    const Reply<xcb_get_geometry_reply_t> now(
        xcb_get_geometry_reply(c, xcb_get_geometry(c, xcb_window_t(window)), nullptr));
    if (now && now->width == size.width() && now->height == size.height())
        return;
    const uint32_t values[] = { uint32_t(size.width()), uint32_t(size.height()) };
    xcb_configure_window(
        c, xcb_window_t(window), XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, values);
    xcb_flush(c);
}

void moveClientTo(unsigned long window, QPoint rootPoint)
{
    xcb_connection_t *c = connectionFor(window);
    if (!c)
        return;
    const auto id = xcb_window_t(window);
    // Only a frame that adds something (a caption) needs the client area's
    // own place; where frame and client coincide, any gravity agrees.
    if (frameOf(c, id) != id && frameOffset(c, id) != QPoint(0, 0))
        useStaticGravity(c, id);
    const uint32_t values[] = { uint32_t(rootPoint.x()), uint32_t(rootPoint.y()) };
    xcb_configure_window(c, id, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, values);
    xcb_flush(c);
}

void mapWindow(unsigned long window)
{
    xcb_connection_t *c = connectionFor(window);
    if (!c)
        return;
    xcb_map_window(c, xcb_window_t(window));
    xcb_flush(c);
}

uint32_t createPixelContext(unsigned long window, int *depth)
{
    xcb_connection_t *c = connection();
    *depth = c && window ? pixelDepth(c, xcb_window_t(window)) : 0;
    if (!*depth)
        return 0;
    const xcb_gcontext_t context = xcb_generate_id(c);
    const uint32_t noExposures = 0;
    xcb_create_gc(c, context, xcb_window_t(window), XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
    return context;
}

void freePixelContext(uint32_t context)
{
    if (xcb_connection_t *c = connection(); c && context)
        xcb_free_gc(c, context);
}

bool putImage(unsigned long window, uint32_t context, int depth, QPoint at, const QImage &image)
{
    xcb_connection_t *c = connection();
    // Both formats hold a pixel in the same 32 bits: a window of depth 24
    // ignores the top byte, one of depth 32 takes it as alpha, which
    // Format_RGB32 keeps at 255.
    const bool laidOut = image.format() == QImage::Format_RGB32
        || image.format() == QImage::Format_ARGB32_Premultiplied;
    if (!c || !window || !context || !laidOut || image.isNull())
        return false;
    const uint64_t bytes = uint64_t(image.sizeInBytes());
    if (bytes + 32 > uint64_t(xcb_get_maximum_request_length(c)) * 4)
        return false;
    // Should the window go at this moment, the error is dropped unseen.
    const xcb_void_cookie_t cookie = xcb_put_image_checked(c, XCB_IMAGE_FORMAT_Z_PIXMAP,
        xcb_window_t(window), context, uint16_t(image.width()), uint16_t(image.height()),
        int16_t(at.x()), int16_t(at.y()), 0, uint8_t(depth), uint32_t(bytes), image.constBits());
    xcb_discard_reply(c, cookie.sequence);
    return true;
}

namespace {

// The atoms of a window's ATOM[] property.
QVector<xcb_atom_t> atomsOf(xcb_connection_t *c, xcb_window_t window, xcb_atom_t property)
{
    const Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, property, XCB_ATOM_ATOM, 0, 1024), nullptr));
    if (!reply || reply->format != 32)
        return {};
    const auto *atoms = static_cast<const xcb_atom_t *>(xcb_get_property_value(reply.get()));
    return QVector<xcb_atom_t>(atoms, atoms + xcb_get_property_value_length(reply.get()) / 4);
}

// A window manager runs that names itself (_NET_SUPPORTING_WM_CHECK) and
// keeps `state` (_NET_SUPPORTED).
bool stateManaged(xcb_connection_t *c, xcb_atom_t state)
{
    const xcb_window_t root = rootWindow(c);
    const xcb_atom_t check = atom(c, "_NET_SUPPORTING_WM_CHECK");
    const Reply<xcb_get_property_reply_t> named(xcb_get_property_reply(
        c, xcb_get_property(c, 0, root, check, XCB_ATOM_WINDOW, 0, 1), nullptr));
    if (!named || xcb_get_property_value_length(named.get()) != 4)
        return false;
    const auto wm = *static_cast<const xcb_window_t *>(xcb_get_property_value(named.get()));
    const Reply<xcb_get_property_reply_t> self(xcb_get_property_reply(
        c, xcb_get_property(c, 0, wm, check, XCB_ATOM_WINDOW, 0, 1), nullptr));
    return self && xcb_get_property_value_length(self.get()) == 4
        && *static_cast<const xcb_window_t *>(xcb_get_property_value(self.get())) == wm
        && atomsOf(c, root, atom(c, "_NET_SUPPORTED")).contains(state);
}

} // namespace

std::optional<bool> managedState(unsigned long window, const char *state)
{
    xcb_connection_t *c = connection();
    if (!c || !window)
        return std::nullopt;
    const xcb_atom_t wanted = atom(c, state);
    // A window manager clears the states of a window that leaves the screen.
    const Reply<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
        c, xcb_get_window_attributes(c, xcb_window_t(window)), nullptr));
    if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE || !stateManaged(c, wanted))
        return std::nullopt;
    return atomsOf(c, xcb_window_t(window), atom(c, "_NET_WM_STATE")).contains(wanted);
}

void flush()
{
    if (xcb_connection_t *c = connection())
        xcb_flush(c);
}

} // namespace X11

#include "windowwatch.h"

#include "xcb.h"

#include <QCoreApplication>

namespace X11 {

namespace {

// Whether the window is withdrawn: unmapped, on the root window and without
// a window manager's WM_STATE other than withdrawn. A window the window
// manager hid (iconified, on another desktop) keeps its WM_STATE or frame.
bool isWithdrawn(xcb_connection_t *c, xcb_window_t window, xcb_atom_t wmState)
{
    const Reply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr));
    const Reply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr));
    const bool framed = tree && tree->parent != tree->root && tree->parent != XCB_WINDOW_NONE;
    if (!attributes || attributes->map_state != XCB_MAP_STATE_UNMAPPED || framed)
        return false;
    constexpr uint32_t WithdrawnState = 0;
    const Reply<xcb_get_property_reply_t> state(
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, wmState, wmState, 0, 1), nullptr));
    return !state || xcb_get_property_value_length(state.get()) < 4
        || *static_cast<const uint32_t *>(xcb_get_property_value(state.get())) == WithdrawnState;
}

} // namespace

WindowWatch::WindowWatch()
{
    if (QCoreApplication::instance())
        QCoreApplication::instance()->installNativeEventFilter(this);
}

WindowWatch::~WindowWatch()
{
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool WindowWatch::nativeEventFilter(const QByteArray &type, void *message, qintptr *)
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
        if (!sent && unmapped)
            unmapped(reinterpret_cast<const xcb_unmap_notify_event_t *>(event)->window);
        return checkWithdrawn(
            sent, reinterpret_cast<const xcb_unmap_notify_event_t *>(event)->window);
    case XCB_REPARENT_NOTIFY:
        return checkWithdrawn(
            sent, reinterpret_cast<const xcb_reparent_notify_event_t *>(event)->window);
    case XCB_PROPERTY_NOTIFY: {
        const auto *notify = reinterpret_cast<const xcb_property_notify_event_t *>(event);
        if (!m_wmState)
            m_wmState = atom(connection(), "WM_STATE");
        if (!m_netWmState)
            m_netWmState = atom(connection(), "_NET_WM_STATE");
        if (notify->atom == m_netWmState && !sent && statesChanged)
            statesChanged(notify->window);
        return notify->atom == m_wmState && checkWithdrawn(sent, notify->window);
    }
    default:
        return false;
    }
}

bool WindowWatch::checkWithdrawn(bool sent, uint32_t window)
{
    if (!m_wmState)
        m_wmState = atom(connection(), "WM_STATE");
    if (!sent && withdrawn && isWithdrawn(connection(), window, m_wmState))
        withdrawn(window);
    return false;
}

} // namespace X11

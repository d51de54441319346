// The X server's pointer source: QueryPointer for where the pointer is, and
// XInput2 raw motion on the root window for when it moved, both on Qt's own
// connection to the server; at rest, a warp watch on a connection of its own.
#include "x11pointer.h"

#include "desktop/x11.h"
#include "desktop/x11_xcb.h"
#ifdef OGLON_XCB_SYNC
#include "warpwatch.h"
#endif

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <QWidget>
#include <xcb/xcb.h>
#ifdef OGLON_XINPUT2
#include <xcb/xinput.h>
#endif

namespace {

using X11::rootWindow;

// The major opcode of XInput2 where the server offers 2.2 or later, else 0.
// Raw events reach a 2.0 client only while no other client grabs the
// pointer; from 2.2 on they come during grabs too.
uint8_t rawMotionOpcode(xcb_connection_t *c)
{
#ifdef OGLON_XINPUT2
    if (qEnvironmentVariableIntValue("OGLON_POLL_POINTER"))
        return 0;
    const xcb_query_extension_reply_t *extension = xcb_get_extension_data(c, &xcb_input_id);
    if (!extension || !extension->present)
        return 0;
    // Qt has already agreed 2.4 on this connection. A client may change its
    // version later, and the server holds it to the last one asked: asking
    // for less would take from Qt what it relies on.
    const X11::Reply<xcb_input_xi_query_version_reply_t> reply(
        xcb_input_xi_query_version_reply(c, xcb_input_xi_query_version(c, 2, 4), nullptr));
    if (!reply)
        return 0;
    const bool recent
        = reply->major_version > 2 || (reply->major_version == 2 && reply->minor_version >= 2);
    return recent ? extension->major_opcode : 0;
#else
    Q_UNUSED(c);
    return 0;
#endif
}

class XServerPointerSource : public PointerSource, public QAbstractNativeEventFilter
{
public:
    explicit XServerPointerSource(xcb_connection_t *c)
        : m_connection(c)
        , m_root(rootWindow(c))
        , m_opcode(rawMotionOpcode(c))
    {
        if (m_opcode)
            qGuiApp->installNativeEventFilter(this);
    }

    ~XServerPointerSource() override
    {
        if (qGuiApp)
            qGuiApp->removeNativeEventFilter(this);
        if (m_own)
            xcb_disconnect(m_own);
    }

    std::optional<CursorReading> read(HWND window) override
    {
        const xcb_window_t target = window ? xcb_window_t(window->winId()) : m_root;
        std::optional<X11::Pointer> answer = queryOwn(target);
        if (!answer)
            answer = X11::queryPointer(target);
        if (!answer)
            return std::nullopt;
        m_lastRoot = answer->root;
        // The server works in device pixels; the program in logical ones.
        const qreal ratio = window ? window->devicePixelRatioF() : qGuiApp->devicePixelRatio();
        const QPoint screen = (QPointF(answer->root) / ratio).toPoint();
        // On another X screen the window point means nothing; Qt's mapping
        // is the best there is.
        const QPoint client = !window ? screen
            : answer->sameScreen      ? (QPointF(answer->window) / ratio).toPoint()
                                      : window->mapFromGlobal(screen);
        return CursorReading { { screen.x(), screen.y() }, { client.x(), client.y() } };
    }

    bool reportsMotion() const override { return m_opcode != 0; }

    void listen(bool on) override
    {
#ifdef OGLON_XINPUT2
        if (!m_opcode || m_listening == on)
            return;
        m_listening = on;
        struct
        {
            xcb_input_event_mask_t head;
            uint32_t bits;
        } mask { { XCB_INPUT_DEVICE_ALL_MASTER, 1 },
            on ? uint32_t(XCB_INPUT_XI_EVENT_MASK_RAW_MOTION) : 0u };
        xcb_input_xi_select_events(m_connection, m_root, 1, &mask.head);
        xcb_flush(m_connection);
        watchWarps(on);
#else
        Q_UNUSED(on);
#endif
    }

    bool followsWarps() const override
    {
#ifdef OGLON_XCB_SYNC
        return m_warps && m_warps->working();
#else
        return false;
#endif
    }

    QString name() const override
    {
        return m_opcode ? QStringLiteral("X server (XInput2 raw motion)")
                        : QStringLiteral("X server (polled)");
    }

    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *) override
    {
#ifdef OGLON_XINPUT2
        if (type != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        const uint8_t kind = event->response_type & ~0x80;
        if (kind == XCB_MOTION_NOTIFY || kind == XCB_ENTER_NOTIFY) {
            // A warp over the program's own windows arrives as plain motion.
            if (m_listening)
                emit moved();
            return false;
        }
        if (kind != XCB_GE_GENERIC)
            return false;
        const auto *generic = reinterpret_cast<const xcb_ge_generic_event_t *>(event);
        if (generic->extension != m_opcode)
            return false;
        if (generic->event_type == XCB_INPUT_RAW_MOTION) {
            if (m_listening)
                emit moved();
            return true; // ours alone; Qt has no use for it
        }
        if ((generic->event_type == XCB_INPUT_MOTION || generic->event_type == XCB_INPUT_ENTER)
            && m_listening)
            emit moved();
#else
        Q_UNUSED(type);
        Q_UNUSED(message);
#endif
        return false;
    }

private:
    xcb_connection_t *m_connection;
    xcb_window_t m_root;
    // Asked on a connection of the program's own, the answer comes straight
    // to the thread that asks; on Qt's connection, Qt's reader thread takes
    // it and wakes the asking thread in turn: a second wake-up every tick.
    // None when that connection cannot be had (or the server does not know
    // the window yet); Qt's connection answers then.
    std::optional<X11::Pointer> queryOwn(xcb_window_t window)
    {
        if (!m_ownTried) {
            m_ownTried = true;
            m_own = xcb_connect(nullptr, nullptr);
            if (xcb_connection_has_error(m_own)) {
                xcb_disconnect(m_own);
                m_own = nullptr;
            }
        }
        if (!m_own)
            return std::nullopt;
        xcb_generic_error_t *error = nullptr;
        const X11::Reply<xcb_query_pointer_reply_t> reply(
            xcb_query_pointer_reply(m_own, xcb_query_pointer(m_own, window), &error));
        const X11::Reply<xcb_generic_error_t> dropped(error);
        if (!reply)
            return std::nullopt;
        return X11::Pointer { QPoint(reply->root_x, reply->root_y),
            QPoint(reply->win_x, reply->win_y), reply->same_screen != 0 };
    }

    // At rest, from where the pointer was last read. The watch's connection
    // is opened the first time the pointer rests.
    void watchWarps(bool on)
    {
#ifdef OGLON_XCB_SYNC
        if (on && !m_warpsTried) {
            m_warpsTried = true;
            m_warps = WarpWatch::create();
            if (m_warps)
                connect(m_warps.get(), &WarpWatch::moved, this, &PointerSource::moved);
        }
        if (m_warps && on)
            m_warps->start(m_lastRoot);
        else if (m_warps)
            m_warps->stop();
#else
        Q_UNUSED(on);
#endif
    }

    uint8_t m_opcode;
    bool m_listening = false;
    xcb_connection_t *m_own = nullptr;
    bool m_ownTried = false;
    QPoint m_lastRoot;
#ifdef OGLON_XCB_SYNC
    std::unique_ptr<WarpWatch> m_warps;
    bool m_warpsTried = false;
#endif
};

} // namespace

PointerSource *CreateXServerPointerSource()
{
    xcb_connection_t *c = X11::connection();
    return c ? new XServerPointerSource(c) : nullptr;
}

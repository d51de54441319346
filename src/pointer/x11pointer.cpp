// The X server's pointer source: QueryPointer for where the pointer is, on a
// connection of its own (while the pointer moves, asked ahead of each tick),
// and XInput2 raw motion on the root window for when it moved, on Qt's
// connection; at rest, a warp watch on another connection of its own.
#include "x11pointer.h"

#include "desktop/x11.h"
#include "desktop/x11_xcb.h"
#ifdef OGLON_XCB_SYNC
#include "warpwatch.h"
#endif

#include <QAbstractNativeEventFilter>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QWidget>
#include <poll.h>
#include <xcb/xcb.h>
#include <xcb/xcbext.h>
#ifdef OGLON_XCB_SYNC
#include <xcb/sync.h>
#endif
#ifdef OGLON_XINPUT2
#include <xcb/xinput.h>
#endif

namespace {

using X11::rootWindow;

// A question asked ahead is answered this many milliseconds before the tick
// is due, so that a timer firing a little early still finds the answer; an
// answer older than AheadFresh milliseconds at the tick is asked again.
constexpr int AheadMargin = 2;
constexpr int AheadFresh = 10;

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
        std::optional<X11::Pointer> answer = takeAhead(target);
        if (!answer)
            answer = queryOwn(target);
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

    // The question goes now, and the server holds it until just before the
    // tick: the answer is waiting when the tick comes, and a tick wakes the
    // program once instead of twice.
    void readAhead(HWND window, int milliseconds) override
    {
#ifdef OGLON_XCB_SYNC
        if (m_ahead || milliseconds <= AheadMargin || !own() || !m_clock)
            return;
        xcb_sync_waitcondition_t due = {};
        due.trigger.counter = m_clock;
        due.trigger.wait_type = XCB_SYNC_VALUETYPE_RELATIVE;
        due.trigger.wait_value.lo = uint32_t(milliseconds - AheadMargin);
        due.trigger.test_type = XCB_SYNC_TESTTYPE_POSITIVE_COMPARISON;
        // No CounterNotify when the wait ends: none is that far past due.
        due.event_threshold.hi = 0x7fffffff;
        due.event_threshold.lo = 0xffffffff;
        xcb_sync_await(m_own, 1, &due);
        const xcb_window_t target = window ? xcb_window_t(window->winId()) : m_root;
        // The server's clock ticks in whole milliseconds: the answer comes
        // within one of the pause.
        m_answerDue = m_elapsed.elapsed() + milliseconds - AheadMargin + 1;
        m_ahead = Ahead { xcb_query_pointer(m_own, target), target };
        xcb_flush(m_own);
#else
        Q_UNUSED(window);
        Q_UNUSED(milliseconds);
#endif
    }

    bool reportsMotion() const override
    {
        return m_opcode != 0;
    }

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
    // None when that connection cannot be had; Qt's connection answers then.
    xcb_connection_t *own()
    {
        if (!m_ownTried) {
            m_ownTried = true;
            m_own = xcb_connect(nullptr, nullptr);
            if (xcb_connection_has_error(m_own)) {
                xcb_disconnect(m_own);
                m_own = nullptr;
            }
#ifdef OGLON_XCB_SYNC
            if (m_own)
                m_clock = ServerClock(m_own);
#endif
            m_elapsed.start();
        }
        return m_own;
    }

    // None while a question asked ahead is still unanswered: a new one
    // would wait behind it.
    std::optional<X11::Pointer> queryOwn(xcb_window_t window)
    {
        if (!own() || m_ahead)
            return std::nullopt;
        xcb_generic_error_t *error = nullptr;
        return X11::pointerFrom(
            xcb_query_pointer_reply(m_own, xcb_query_pointer(m_own, window), &error), error);
    }

    // The answer asked ahead, if it is for this window and was given about
    // now. Before it is due, or while the server still holds it, the read is
    // answered on Qt's connection and the question kept; an answer for
    // another window, or given a while ago, is let go.
    std::optional<X11::Pointer> takeAhead(xcb_window_t window)
    {
        const qint64 early = m_answerDue - m_elapsed.elapsed();
        if (!m_ahead || early > AheadMargin)
            return std::nullopt;
        xcb_query_pointer_reply_t *answer = nullptr;
        xcb_generic_error_t *error = nullptr;
        if (!answered(qMax<qint64>(early, 0) + AheadMargin, &answer, &error))
            return std::nullopt;
        const std::optional<X11::Pointer> taken = X11::pointerFrom(answer, error);
        const bool fresh = m_ahead->window == window && early >= -AheadFresh;
        m_ahead.reset();
        return fresh ? taken : std::nullopt;
    }

    // Whether the answer to the question asked ahead is in, waiting for it
    // at most `milliseconds`: the program never waits on the server's clock.
    bool answered(
        qint64 milliseconds, xcb_query_pointer_reply_t **answer, xcb_generic_error_t **error)
    {
        QElapsedTimer waited;
        waited.start();
        for (;;) {
            // No event is asked for on this connection; reading for one
            // takes in what the server sent.
            while (const X11::Reply<xcb_generic_event_t> unasked { xcb_poll_for_event(m_own) }) { }
            void *reply = nullptr;
            if (xcb_poll_for_reply(m_own, m_ahead->question.sequence, &reply, error)) {
                *answer = static_cast<xcb_query_pointer_reply_t *>(reply);
                return true;
            }
            const qint64 left = milliseconds - waited.elapsed();
            if (left <= 0 || xcb_connection_has_error(m_own))
                return false;
            pollfd readable { xcb_get_file_descriptor(m_own), POLLIN, 0 };
            poll(&readable, 1, int(left));
        }
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
    // A question asked ahead and not yet answered, and when (on m_elapsed)
    // its answer is due. Everything after it on m_own waits behind it.
    struct Ahead
    {
        xcb_query_pointer_cookie_t question;
        xcb_window_t window;
    };
    std::optional<Ahead> m_ahead;
    qint64 m_answerDue = 0;
    QElapsedTimer m_elapsed;
    uint32_t m_clock = 0;
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

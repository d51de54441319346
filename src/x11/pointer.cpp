#include "pointer.h"

#include "xcb.h"

#include <QGuiApplication>
#include <xcb/sync.h>
#include <xcb/xcbext.h>
#include <xcb/xinput.h>

#include <cstring>

namespace X11 {

namespace {

// How many milliseconds before its time an answer comes.
constexpr int ReadyEarly = 2;

// The major opcode of XInput2 where the server offers 2.2 or later, else 0.
// Raw events reach a 2.0 client only while no other client grabs the
// pointer; from 2.2 on they come during grabs too.
uint8_t rawMotionOpcode(xcb_connection_t *c)
{
    if (!c || qEnvironmentVariableIntValue("OGLON_POLL_POINTER"))
        return 0;
    const xcb_query_extension_reply_t *extension = xcb_get_extension_data(c, &xcb_input_id);
    if (!extension || !extension->present)
        return 0;
    // Qt has already agreed 2.4 on this connection. A client may change its
    // version later, and the server holds it to the last one asked: asking
    // for less would take from Qt what it relies on.
    const Reply<xcb_input_xi_query_version_reply_t> reply(
        xcb_input_xi_query_version_reply(c, xcb_input_xi_query_version(c, 2, 4), nullptr));
    if (!reply)
        return 0;
    const bool recent
        = reply->major_version > 2 || (reply->major_version == 2 && reply->minor_version >= 2);
    return recent ? extension->major_opcode : 0;
}

// The X server's clock (SYNC's SERVERTIME counter, in milliseconds), with
// SYNC set up on `c`; 0 where the server has none.
uint32_t serverClock(xcb_connection_t *c)
{
    const xcb_query_extension_reply_t *sync = xcb_get_extension_data(c, &xcb_sync_id);
    if (!sync || !sync->present)
        return 0;
    const Reply<xcb_sync_initialize_reply_t> version(
        xcb_sync_initialize_reply(c, xcb_sync_initialize(c, 3, 1), nullptr));
    const Reply<xcb_sync_list_system_counters_reply_t> counters(
        xcb_sync_list_system_counters_reply(c, xcb_sync_list_system_counters(c), nullptr));
    if (!version || !counters)
        return 0;
    // Read by hand: xcb's iterator over this list misplaces every entry
    // after the first (its struct is padded, the wire format is not). Each
    // entry: counter (4 bytes), resolution (8), name length (2), the name,
    // padding to 4.
    const auto *entry = reinterpret_cast<const uint8_t *>(counters.get() + 1);
    const uint8_t *const end = entry + size_t(counters->length) * 4;
    for (uint32_t i = 0; i < counters->counters_len && entry + 14 <= end; ++i) {
        uint32_t counter;
        uint16_t length;
        std::memcpy(&counter, entry, 4);
        std::memcpy(&length, entry + 12, 2);
        if (entry + 14 + length > end)
            break;
        if (length == 10 && std::memcmp(entry + 14, "SERVERTIME", 10) == 0)
            return counter;
        entry += (14 + length + 3) & ~3u;
    }
    return 0;
}

} // namespace

RawMotion::RawMotion()
    : m_opcode(rawMotionOpcode(connection()))
{
    if (m_opcode)
        qGuiApp->installNativeEventFilter(this);
}

RawMotion::~RawMotion()
{
    if (m_opcode && qGuiApp)
        qGuiApp->removeNativeEventFilter(this);
}

void RawMotion::listen(bool on)
{
    xcb_connection_t *c = connection();
    if (!m_opcode || !c || m_listening == on)
        return;
    m_listening = on;
    struct
    {
        xcb_input_event_mask_t head;
        uint32_t bits;
    } mask { { XCB_INPUT_DEVICE_ALL_MASTER, 1 },
        on ? uint32_t(XCB_INPUT_XI_EVENT_MASK_RAW_MOTION) : 0u };
    xcb_input_xi_select_events(c, rootWindow(c), 1, &mask.head);
    xcb_flush(c);
}

bool RawMotion::nativeEventFilter(const QByteArray &type, void *message, qintptr *)
{
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
    return false;
}

TimedPointerQuery::TimedPointerQuery() = default;

TimedPointerQuery::~TimedPointerQuery() = default;

// Opened the first time a question is asked.
bool TimedPointerQuery::open()
{
    if (!m_opened) {
        m_opened = true;
        m_connection = std::make_unique<Connection>();
        m_clock = m_connection->isOpen() ? serverClock(m_connection->get()) : 0;
        if (!m_clock) {
            m_connection.reset();
            return false;
        }
        m_notifier = std::make_unique<QSocketNotifier>(
            xcb_get_file_descriptor(m_connection->get()), QSocketNotifier::Read);
        connect(
            m_notifier.get(), &QSocketNotifier::activated, this, &TimedPointerQuery::onReadable);
    }
    return m_connection != nullptr;
}

bool TimedPointerQuery::ask(unsigned long window, int milliseconds, bool wake)
{
    if (milliseconds <= 0)
        return false;
    if (m_held) {
        // One answered before the time now wanted is let be. One held past
        // it would hold the new question back: it goes with its connection
        // (nothing else takes a question back from the server), and a new
        // connection asks.
        if (m_heldFor - m_sinceAsked.elapsed() <= milliseconds)
            return false;
        close();
        m_opened = false;
    }
    if (!open())
        return false;
    xcb_connection_t *c = m_connection->get();
    const xcb_window_t target = window ? xcb_window_t(window) : rootWindow(c);
    xcb_sync_waitcondition_t due = {};
    due.trigger.counter = m_clock;
    due.trigger.wait_type = XCB_SYNC_VALUETYPE_RELATIVE;
    // Ready a little before the time asked for: a timer that fires early
    // still finds the answer in.
    due.trigger.wait_value.lo = uint32_t(qMax(1, milliseconds - ReadyEarly));
    due.trigger.test_type = XCB_SYNC_TESTTYPE_POSITIVE_COMPARISON;
    // No CounterNotify when the wait ends: none is that far past due.
    due.event_threshold.hi = 0x7fffffff;
    due.event_threshold.lo = 0xffffffff;
    xcb_sync_await(c, 1, &due);
    m_held = xcb_query_pointer(c, target).sequence;
    m_heldWindow = window;
    m_heldFor = milliseconds;
    m_sinceAsked.start();
    m_notifier->setEnabled(wake);
    xcb_flush(c);
    return true;
}

std::optional<Pointer> TimedPointerQuery::take(unsigned long window, int freshness)
{
    // Unwatched, the answer may have come and wait in the socket.
    if (m_held)
        collect();
    std::optional<Pointer> answer;
    answer.swap(m_answer);
    if (!answer || m_answerWindow != window || m_sinceAnswer.elapsed() > freshness)
        return std::nullopt;
    return answer;
}

void TimedPointerQuery::onReadable()
{
    if (collect())
        emit answered();
}

// Takes in what the server sent; whether the answer came.
bool TimedPointerQuery::collect()
{
    xcb_connection_t *c = m_connection->get();
    // No event is asked for on this connection; reading for one takes in
    // what the server sent.
    while (const Reply<xcb_generic_event_t> unasked { xcb_poll_for_event(c) }) { }
    // It failed: no more questions on it.
    if (xcb_connection_has_error(c)) {
        close();
        return false;
    }
    void *reply = nullptr;
    xcb_generic_error_t *error = nullptr;
    if (!m_held || !xcb_poll_for_reply(c, *m_held, &reply, &error))
        return false;
    m_held.reset();
    // A window that went meanwhile answers with an error: no answer.
    m_answer = pointerFrom(static_cast<xcb_query_pointer_reply_t *>(reply), error);
    m_answerWindow = m_heldWindow;
    m_sinceAnswer.start();
    return true;
}

void TimedPointerQuery::close()
{
    // Maybe called from the notifier's own signal: it goes once that is
    // done, and watches the socket no longer from now.
    m_notifier->setEnabled(false);
    m_notifier.release()->deleteLater();
    m_connection.reset();
    m_held.reset();
}

} // namespace X11

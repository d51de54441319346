#include "warpwatch.h"

#include "desktop/x11_xcb.h"

#include <xcb/sync.h>
#include <xcb/xcbext.h>

#include <cstring>

uint32_t ServerClock(xcb_connection_t *c)
{
    const xcb_query_extension_reply_t *sync = xcb_get_extension_data(c, &xcb_sync_id);
    if (!sync || !sync->present)
        return 0;
    const X11::Reply<xcb_sync_initialize_reply_t> version(
        xcb_sync_initialize_reply(c, xcb_sync_initialize(c, 3, 1), nullptr));
    const X11::Reply<xcb_sync_list_system_counters_reply_t> counters(
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

namespace {

// The same growing pauses the pacer keeps at rest.
int checkDelay(int checks)
{
    return checks < 3 ? 200 << checks : 2000;
}

// How many checks are sent ahead, and how few may be left before more go.
constexpr size_t Ahead = 8;
constexpr size_t MinimumAhead = 2;

} // namespace

std::unique_ptr<WarpWatch> WarpWatch::create()
{
    // The display Qt uses ($DISPLAY: the program sets it from -display).
    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    const uint32_t clock = xcb_connection_has_error(c) ? 0 : ServerClock(c);
    if (!clock) {
        xcb_disconnect(c);
        return nullptr;
    }
    return std::unique_ptr<WarpWatch>(new WarpWatch(c, clock));
}

WarpWatch::WarpWatch(xcb_connection_t *connection, uint32_t clock)
    : m_connection(connection)
    , m_root(X11::rootWindow(connection))
    , m_clock(clock)
    , m_release(xcb_generate_id(connection))
    , m_notifier(xcb_get_file_descriptor(connection), QSocketNotifier::Read)
{
    xcb_sync_create_counter(m_connection, m_release, {});
    xcb_flush(m_connection);
    connect(&m_notifier, &QSocketNotifier::activated, this, &WarpWatch::onReadable);
}

WarpWatch::~WarpWatch()
{
    m_notifier.setEnabled(false);
    xcb_disconnect(m_connection);
}

void WarpWatch::start(QPoint rootPoint)
{
    m_from = rootPoint;
    m_watching = m_working;
    // Questions released by stop() are answered at once; the short pauses
    // follow them.
    m_checks = 0;
    askAhead();
}

// The checks the server still holds are released (from Qt's connection:
// this one waits), so that the next start begins afresh.
void WarpWatch::stop()
{
    if (m_watching && !m_pending.empty()) {
        xcb_connection_t *qt = X11::connection();
        xcb_sync_set_counter(qt, m_release, { 0, m_generation++ });
        xcb_flush(qt);
    }
    m_watching = false;
}

// Several checks are sent at once: writing to the server wakes it, and it
// may take the processor from the program then, which costs the program
// another turn. Each check is a pause and a query: the server answers the
// query once its clock has run on by the pause.
void WarpWatch::askAhead()
{
    if (!m_watching || m_pending.size() >= MinimumAhead)
        return;
    while (m_pending.size() < Ahead) {
        // Due when the clock has run on by the pause, or when released.
        xcb_sync_waitcondition_t due[2] = {};
        due[0].trigger.counter = m_clock;
        due[0].trigger.wait_type = XCB_SYNC_VALUETYPE_RELATIVE;
        due[0].trigger.wait_value.lo = uint32_t(checkDelay(m_checks++));
        due[1].trigger.counter = m_release;
        due[1].trigger.wait_type = XCB_SYNC_VALUETYPE_ABSOLUTE;
        due[1].trigger.wait_value.lo = m_generation;
        for (xcb_sync_waitcondition_t &condition : due) {
            condition.trigger.test_type = XCB_SYNC_TESTTYPE_POSITIVE_COMPARISON;
            // No CounterNotify when the wait ends: none is that far past due.
            condition.event_threshold.hi = 0x7fffffff;
            condition.event_threshold.lo = 0xffffffff;
        }
        xcb_sync_await(m_connection, 2, due);
        m_pending.push_back(xcb_query_pointer(m_connection, m_root).sequence);
    }
    xcb_flush(m_connection);
}

void WarpWatch::onReadable()
{
    // No event is asked for on this connection; an error ends the watch.
    while (const X11::Reply<xcb_generic_event_t> event { xcb_poll_for_event(m_connection) }) {
        if (event->response_type == 0)
            return breakDown();
    }
    if (xcb_connection_has_error(m_connection))
        return breakDown();
    void *answer = nullptr;
    xcb_generic_error_t *error = nullptr;
    while (!m_pending.empty()
        && xcb_poll_for_reply(m_connection, m_pending.front(), &answer, &error)) {
        m_pending.pop_front();
        const X11::Reply<xcb_query_pointer_reply_t> reply(
            static_cast<xcb_query_pointer_reply_t *>(answer));
        const X11::Reply<xcb_generic_error_t> failed(error);
        if (!reply)
            return breakDown();
        if (m_watching && QPoint(reply->root_x, reply->root_y) != m_from) {
            m_watching = false;
            emit moved();
        }
    }
    askAhead();
}

void WarpWatch::breakDown()
{
    if (!m_working)
        return;
    m_working = false;
    m_notifier.setEnabled(false);
    const bool watching = m_watching;
    m_watching = false;
    if (watching)
        emit moved();
}

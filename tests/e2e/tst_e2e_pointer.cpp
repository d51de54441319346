// The pupils follow real pointer motion (XTEST, as a mouse makes it) at once,
// also during another client's pointer grab, and a warp within a check or
// two; while the pointer rests the program asks the X server nothing but
// those checks, also after another client set every SYNC counter it can
// reach. Without XInput2 it polls every 100 ms instead.
#include "e2e.h"

#include <QtTest>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <xcb/record.h>
#include <xcb/res.h>
#include <xcb/sync.h>

using namespace e2e;

namespace {

constexpr uint8_t QueryPointerRequest = 38, PutImageRequest = 72;
// RECORD's categories of what it reports.
constexpr uint8_t FromClient = 1, EndOfData = 5;

// Every QueryPointer and PutImage a client sends, with the server's time
// of each, through its RECORD extension: nothing stands between the program
// and the server. A program's clients are told by their process id
// (X-Resource).
class QueryLog
{
public:
    QueryLog()
    {
        mContext = xcb_generate_id(connection());
        xcb_record_range_t ranges[2] {};
        ranges[0].core_requests = { QueryPointerRequest, QueryPointerRequest };
        ranges[1].core_requests = { PutImageRequest, PutImageRequest };
        xcb_record_client_spec_t everyone = XCB_RECORD_CS_ALL_CLIENTS;
        xcb_record_create_context(
            connection(), mContext, XCB_RECORD_H_TYPE_FROM_CLIENT_TIME, 1, 2, &everyone, ranges);
        xcb_flush(connection());
        mData = xcb_connect(nullptr, nullptr);
        mReader = std::thread([this] { read(); });
    }
    ~QueryLog()
    {
        xcb_record_disable_context(connection(), mContext);
        xcb_flush(connection());
        mReader.join();
        xcb_record_free_context(connection(), mContext);
        xcb_flush(connection());
        xcb_disconnect(mData);
    }
    // QueryPointer requests of the process's connections after `since` (ms
    // on the test's clock).
    QList<qint64> queries(qint64 pid, qint64 since)
    {
        const QList<uint32_t> bases = clientsOf(pid);
        std::lock_guard<std::mutex> lock(mMutex);
        QList<qint64> times;
        for (const Seen &seen : mSeen)
            if (bases.contains(seen.client) && seen.at > since
                && seen.request == QueryPointerRequest)
                times << seen.at;
        return times;
    }
    // How long before the process's first drawing after `since` the server
    // answered its last QueryPointer (ms on the server's clock); -1 if none.
    qint64 readingAge(qint64 pid, qint64 since)
    {
        const QList<uint32_t> bases = clientsOf(pid);
        std::lock_guard<std::mutex> lock(mMutex);
        qint64 asked = -1;
        for (const Seen &seen : mSeen) {
            if (!bases.contains(seen.client))
                continue;
            if (seen.request == QueryPointerRequest)
                asked = seen.serverTime;
            else if (seen.at > since)
                return asked < 0 ? -1 : seen.serverTime - asked;
        }
        return -1;
    }
    static qint64 now() { return clock().elapsed(); }
    // The X resource bases of the process's connections.
    static QList<uint32_t> clientsOf(qint64 pid)
    {
        const xcb_res_client_id_spec_t all { 0, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID };
        auto *reply = xcb_res_query_client_ids_reply(
            connection(), xcb_res_query_client_ids(connection(), 1, &all), nullptr);
        QList<uint32_t> bases;
        for (auto it = xcb_res_query_client_ids_ids_iterator(reply); reply && it.rem;
             xcb_res_client_id_value_next(&it))
            if (it.data->length == 4 && *xcb_res_client_id_value_value(it.data) == uint32_t(pid)) {
                const auto &[id, length] = *it.data;
                bases << id.client;
            }
        free(reply);
        return bases;
    }

private:
    static QElapsedTimer &clock()
    {
        static QElapsedTimer timer = [] {
            QElapsedTimer t;
            t.start();
            return t;
        }();
        return timer;
    }
    void read()
    {
        const auto cookie = xcb_record_enable_context(mData, mContext);
        while (auto *reply = xcb_record_enable_context_reply(mData, cookie, nullptr)) {
            const bool end = reply->category == EndOfData;
            if (reply->category == FromClient)
                take(reply);
            free(reply);
            if (end)
                break;
        }
    }
    // One reply may hold several requests, each after the server's time.
    void take(const xcb_record_enable_context_reply_t *reply)
    {
        const uint8_t *data = xcb_record_enable_context_data(reply);
        const int length = xcb_record_enable_context_data_length(reply);
        std::lock_guard<std::mutex> lock(mMutex);
        for (int at = 0; at + 8 <= length;) {
            uint32_t time, size;
            uint16_t words;
            std::memcpy(&time, data + at, 4);
            std::memcpy(&words, data + at + 6, 2);
            size = words;
            if (!size && at + 12 <= length) // a big request
                std::memcpy(&size, data + at + 8, 4);
            mSeen.append({ reply->xid_base, now(), time, data[at + 4] });
            at += 4 + int(qMax(size, 1u)) * 4;
        }
    }
    struct Seen
    {
        uint32_t client;
        qint64 at; // the test's clock
        qint64 serverTime;
        uint8_t request;
    };
    xcb_record_context_t mContext;
    xcb_connection_t *mData;
    std::thread mReader;
    std::mutex mMutex;
    QList<Seen> mSeen;
};

// The pointer's place in a straight run of motion (XTEST), in a few steps.
bool moveBy(QPoint by)
{
    const QString x = QString::number(by.x() / 2), y = QString::number(by.y() / 2);
    return xdotool({ "mousemove_relative", "--", x, y, "mousemove_relative", "--",
        QString::number(by.x() - by.x() / 2), QString::number(by.y() - by.y() / 2) });
}

// What any client may do: sets every SYNC counter among the first ids of
// the process's connections, and the server's own, to the largest value.
void setCountersOf(qint64 pid)
{
    xcb_connection_t *c = connection();
    const xcb_sync_int64_t huge { INT32_MAX, UINT32_MAX };
    QList<uint32_t> counters;
    for (const uint32_t base : QueryLog::clientsOf(pid))
        for (uint32_t id = base; id < base + 8192; ++id)
            counters << id;
    auto *system
        = xcb_sync_list_system_counters_reply(c, xcb_sync_list_system_counters(c), nullptr);
    for (auto it = xcb_sync_list_system_counters_counters_iterator(system); system && it.rem;
         xcb_sync_systemcounter_next(&it))
        counters << it.data->counter;
    free(system);
    for (const uint32_t counter : counters)
        xcb_sync_set_counter(c, counter, huge);
    // The refusals (no such counter, not ours to set) are the test's own.
    free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    while (xcb_generic_event_t *event = xcb_poll_for_event(c))
        free(event);
}

} // namespace

class TestPointer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void pupilsFollow_data();
    void pupilsFollow();

private:
    // Waits until the program has rested long enough to check only every 2 s.
    bool resting(QString *seen);

    std::unique_ptr<QueryLog> log;
    std::unique_ptr<Oglon> oglon;
    bool polled = false;
};

void TestPointer::initTestCase()
{
    const xcb_query_extension_reply_t *record
        = xcb_get_extension_data(connection(), &xcb_record_id);
    QVERIFY2(record && record->present, "the X server has no RECORD extension");
    QVERIFY(movePointer({ 100, 100 }));
    log = std::make_unique<QueryLog>();
}

bool TestPointer::resting(QString *seen)
{
    // Checks come 200, 400 and 800 ms apart after motion, then 2 s apart: a
    // gap of more than a second means the long ones have begun. Then the next
    // check, and nothing in between.
    qint64 last = 0;
    if (!QTest::qWaitFor(
            [&] {
                const QList<qint64> all = log->queries(oglon->pid(), 0);
                last = all.isEmpty() ? 0 : all.last();
                return last && QueryLog::now() - last > 1100;
            },
            3 * Deadline)
        || !QTest::qWaitFor([&] { return !log->queries(oglon->pid(), last).isEmpty(); }, Deadline))
        return false;
    const qint64 next = log->queries(oglon->pid(), last).first();
    *seen = QStringLiteral("checks %1 ms apart").arg(next - last);
    return next - last >= 1800;
}

void TestPointer::pupilsFollow_data()
{
    QTest::addColumn<bool>("polled"); // XInput2 switched off
    // motion, grabbed (motion during a grab), warp, counters (motion after
    // another client set the SYNC counters)
    QTest::addColumn<QString>("how");
    QTest::addColumn<QPoint>("to"); // the pointer's target, in head pixels
    QTest::addColumn<int>("within"); // ms from the input to the program's question
    QTest::newRow("motion") << false << "motion" << QPoint(-300, 80) << 500;
    QTest::newRow("motion during a grab") << false << "grabbed" << QPoint(400, 82) << 500;
    QTest::newRow("warp") << false << "warp" << QPoint(46, -250) << 2500;
    QTest::newRow("motion after a stranger set the SYNC counters")
        << false << "counters" << QPoint(-120, -90) << 500;
    QTest::newRow("no XInput2: motion") << true << "motion" << QPoint(40, 420) << 500;
}

void TestPointer::pupilsFollow()
{
    QFETCH(bool, polled);
    QFETCH(QString, how);
    QFETCH(QPoint, to);
    QFETCH(int, within);
    if (!oglon || polled != this->polled) {
        oglon.reset();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (polled)
            environment.insert("OGLON_POLL_POINTER", "1");
        oglon = std::make_unique<Oglon>();
        QVERIFY(oglon->start(environment));
        this->polled = polled;
    }
    const Window head = oglon->head();

    QString seen;
    if (polled) {
        // Polled: ten questions a second, moving or not.
        QTest::qWait(1000);
        QVERIFY(log->queries(oglon->pid(), QueryLog::now() - 1000).size() >= 5);
    } else {
        if (how == "counters")
            setCountersOf(oglon->pid());
        // At rest: nothing but a check every 2 s. The input comes right after
        // one, so only the motion itself can explain a quick answer.
        QVERIFY2(resting(&seen), qPrintable(seen));
    }

    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection())).data->root;
    if (how == "grabbed") {
        auto *grab = xcb_grab_pointer_reply(connection(),
            xcb_grab_pointer(connection(), 0, root, XCB_EVENT_MASK_POINTER_MOTION,
                XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC, XCB_NONE, XCB_NONE, XCB_CURRENT_TIME),
            nullptr);
        QVERIFY(grab && grab->status == XCB_GRAB_STATUS_SUCCESS);
        free(grab);
    }
    const QPoint target = oglon->onHead(to);
    const qint64 input = QueryLog::now();
    QVERIFY(how == "warp" ? xdotool(warpTo(target)) : moveBy(target - pointer()));
    QVERIFY(QTest::qWaitFor([&] { return pointer() == target; }, Deadline));
    // Asked soon after the input: by the motion, not by a check that
    // happened to come.
    QVERIFY(
        QTest::qWaitFor([&] { return !log->queries(oglon->pid(), input).isEmpty(); }, Deadline));
    const qint64 asked = log->queries(oglon->pid(), input).first() - input;
    QVERIFY2(asked <= within, qPrintable(QStringLiteral("%1 ms").arg(asked)));
    QVERIFY2(pupilsReach(head, expectedPupils(to), &seen), qPrintable(seen));
    // The pupils show where the pointer was when the tick came, not where it
    // was a tick before.
    if (polled) {
        const qint64 age = log->readingAge(oglon->pid(), input);
        QVERIFY2(age >= 0 && age < 50, qPrintable(QStringLiteral("%1 ms").arg(age)));
    }
    if (how == "grabbed") {
        xcb_ungrab_pointer(connection(), XCB_CURRENT_TIME);
        xcb_flush(connection());
    }
}

QTEST_MAIN(TestPointer)
#include "tst_e2e_pointer.moc"

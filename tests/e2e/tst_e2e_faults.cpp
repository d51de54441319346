// Faults from outside: termination signals, a session bus that does not
// answer, the window manager going away and coming back, the X server dying
// under the program.
#include "e2e.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QtTest>
#include <csignal>
#include <xcb/shape.h>

using namespace e2e;

namespace {

// What the window manager keeps about the head, to compare before and after.
struct HeadState
{
    QRect place;
    QStringList state;
    QRegion bounding;
    QRegion input;

    static HeadState of(Window head)
    {
        QStringList state = atomNames(head, "_NET_WM_STATE");
        state.sort();
        return { clientRect(head), state, shape(head, XCB_SHAPE_SK_BOUNDING),
            shape(head, XCB_SHAPE_SK_INPUT) };
    }
    bool operator==(const HeadState &o) const
    {
        return place == o.place && state == o.state && bounding == o.bounding && input == o.input;
    }
    QString describe() const
    {
        return QStringLiteral("at %1,%2 %3 shape %4 rects")
            .arg(place.x())
            .arg(place.y())
            .arg(state.join(u' '))
            .arg(bounding.rectCount());
    }
};

// The window a running window manager announces itself with, or 0.
Window wmCheckWindow()
{
    xcb_connection_t *c = connection();
    const Window root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const char name[] = "_NET_SUPPORTING_WM_CHECK";
    xcb_intern_atom_reply_t *atom
        = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, sizeof name - 1, name), nullptr);
    if (!atom)
        return 0;
    xcb_get_property_reply_t *reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, root, atom->atom, XCB_ATOM_WINDOW, 0, 1), nullptr);
    free(atom);
    Window window = 0;
    if (reply && xcb_get_property_value_length(reply) == 4)
        window = *static_cast<const Window *>(xcb_get_property_value(reply));
    free(reply);
    return window;
}

// A session bus that does not answer: its daemon stopped ("stopped"), a
// socket that takes connections and says nothing ("silent"), or one that
// lets a client log in and says nothing after that ("login only").
class DeafBus
{
public:
    explicit DeafBus(const QString &kind)
    {
        if (kind == "stopped") {
            m_daemon.start("dbus-daemon", { "--session", "--nofork", "--print-address=1" });
            if (m_daemon.waitForReadyRead(Deadline))
                m_address = QString::fromLatin1(m_daemon.readLine().trimmed());
            ::kill(pid_t(m_daemon.processId()), SIGSTOP);
        } else if (!kind.isEmpty() && m_server.listen(m_dir.filePath("bus"))) {
            m_address = "unix:path=" + m_server.fullServerName();
            if (kind == "login only")
                QObject::connect(&m_server, &QLocalServer::newConnection, [this] { answer(); });
        }
    }
    ~DeafBus()
    {
        if (m_daemon.processId() <= 0)
            return;
        ::kill(pid_t(m_daemon.processId()), SIGCONT);
        m_daemon.terminate();
        m_daemon.waitForFinished();
    }
    QString address() const { return m_address; }
    // A client logged in and asked on; it waits for an answer now.
    bool waiting() const { return m_waiting; }

private:
    // The first line of the login is answered, nothing after it.
    void answer()
    {
        QLocalSocket *client = m_server.nextPendingConnection();
        QObject::connect(client, &QLocalSocket::readyRead, client, [this, client] {
            if (client->property("in").toBool())
                m_waiting = true;
            else if (client->readAll().contains("AUTH"))
                client->write("OK 0123456789abcdef0123456789abcdef\r\n");
            client->setProperty("in", true);
        });
    }

    QTemporaryDir m_dir;
    QProcess m_daemon;
    QLocalServer m_server;
    QString m_address;
    bool m_waiting = false;
};

} // namespace

class TestFaults : public QObject
{
    Q_OBJECT

private slots:
    void signalsEndCleanly_data();
    void signalsEndCleanly();
    void windowManagerReplaced();
    void windowManagerRestarted();
    void xServerDies();
    void headDestroyedFromOutside_data();
    void headDestroyedFromOutside();

private:
    // The openbox that manages the screen: xsession.sh's, until a test
    // starts another.
    qint64 wmPid = qEnvironmentVariableIntValue("OGLON_WM_PID");
};

void TestFaults::signalsEndCleanly_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<QString>("bus"); // none (xsession.sh's), or a DeafBus
    QTest::newRow("SIGTERM") << SIGTERM << "";
    QTest::newRow("SIGINT") << SIGINT << "";
    QTest::newRow("SIGHUP") << SIGHUP << "";
    QTest::newRow("SIGUSR1") << SIGUSR1 << "";
    QTest::newRow("SIGALRM") << SIGALRM << "";
    QTest::newRow("SIGPIPE") << SIGPIPE << "";
    QTest::newRow("SIGTERM, the session bus stopped") << SIGTERM << "stopped";
    QTest::newRow("SIGTERM, a session bus that never answers") << SIGTERM << "silent";
    QTest::newRow("SIGTERM while Qt waits for the session bus") << SIGTERM << "login only";
}

void TestFaults::signalsEndCleanly()
{
    QFETCH(int, signal);
    QFETCH(QString, bus);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const DeafBus deaf(bus);
    if (!bus.isEmpty()) {
        QVERIFY(!deaf.address().isEmpty());
        environment.insert("DBUS_SESSION_BUS_ADDRESS", deaf.address());
    }
    Oglon oglon;
    QElapsedTimer clock;
    clock.start();
    if (bus == "login only") {
        // Still starting, before the event loop runs.
        oglon.process().setProcessEnvironment(environment);
        oglon.process().setProcessChannelMode(QProcess::ForwardedChannels);
        oglon.process().start(OGLON_BINARY, {});
        QVERIFY(QTest::qWaitFor([&] { return deaf.waiting(); }, Deadline));
    } else {
        QVERIFY(oglon.start(environment));
        if (!bus.isEmpty()) {
            qInfo("the head showed %lld ms after the start", clock.elapsed());
            QVERIFY(clock.elapsed() < 4000);
        }
    }
    clock.restart();
    ::kill(pid_t(oglon.pid()), signal);
    QVERIFY(oglon.process().waitForFinished(2000));
    QCOMPARE(oglon.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(oglon.process().exitCode(), 0);
    qInfo("ended %lld ms after the signal", clock.elapsed());
}

void TestFaults::windowManagerReplaced()
{
    Oglon oglon;
    QVERIFY(oglon.start());
    QVERIFY(movePointer({ 40, 40 }));
    const HeadState before = HeadState::of(oglon.head());
    QVERIFY(before.state.contains("_NET_WM_STATE_ABOVE"));
    const Window oldCheck = wmCheckWindow();

    QVERIFY(QProcess::startDetached("openbox", { "--replace", "--sm-disable" }, {}, &wmPid));
    QTRY_VERIFY_WITH_TIMEOUT(wmCheckWindow() != 0 && wmCheckWindow() != oldCheck, Deadline);
    // The new window manager takes the head over in steps, and may pass
    // through the old state on the way: it must come back and stay.
    const auto restored = [&] {
        if (!(HeadState::of(oglon.head()) == before))
            return false;
        QTest::qWait(300);
        return HeadState::of(oglon.head()) == before;
    };
    QTRY_VERIFY2_WITH_TIMEOUT(restored(),
        qPrintable(HeadState::of(oglon.head()).describe() + " was " + before.describe()), Deadline);
    QCOMPARE(oglon.process().state(), QProcess::Running);
}

void TestFaults::windowManagerRestarted()
{
    Oglon oglon;
    QVERIFY(oglon.start());
    const HeadState before = HeadState::of(oglon.head());

    // Kill the window manager outright, then start a new one.
    QVERIFY(wmPid > 0);
    QCOMPARE(::kill(pid_t(wmPid), SIGKILL), 0);
    QTRY_VERIFY_WITH_TIMEOUT(
        wmCheckWindow() == 0 || clientRect(wmCheckWindow()).isEmpty(), Deadline);
    QVERIFY(QProcess::startDetached("openbox", { "--sm-disable" }, {}, &wmPid));
    QTRY_VERIFY_WITH_TIMEOUT(wmCheckWindow() != 0, Deadline);
    // The new window manager takes the head over in steps, and may pass
    // through the old state on the way: it must come back and stay.
    const auto restored = [&] {
        if (!(HeadState::of(oglon.head()) == before))
            return false;
        QTest::qWait(300);
        return HeadState::of(oglon.head()) == before;
    };
    QTRY_VERIFY2_WITH_TIMEOUT(restored(),
        qPrintable(HeadState::of(oglon.head()).describe() + " was " + before.describe()), Deadline);
    // And it still follows the pointer.
    const QPoint client(300, 20);
    QVERIFY(movePointer(before.place.topLeft() + client));
    QString seen;
    QVERIFY2(pupilsReach(oglon.head(), expectedPupils(client), &seen), qPrintable(seen));
}

void TestFaults::xServerDies()
{
    // A server of its own: this test's connection must survive. Without
    // -noreset it would reset whenever its only client leaves, as each
    // xdotool search does, and drop the program while it connects.
    QProcess server;
    server.start("Xvfb",
        { "-displayfd", "1", "-nolisten", "tcp", "-noreset", "-screen", "0", "640x480x24" });
    QVERIFY(server.waitForStarted());
    QVERIFY(QTest::qWaitFor([&] { return server.canReadLine(); }, Deadline));
    const QString display = ':' + QString::fromLatin1(server.readLine().trimmed());

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DISPLAY", display);
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(OGLON_BINARY), {});
    QVERIFY(program.waitForStarted());
    QProcess search;
    search.setProcessEnvironment(environment);
    QVERIFY(QTest::qWaitFor(
        [&] {
            search.start("xdotool", { "search", "--onlyvisible", "--name", "^Oglon$" });
            return search.waitForFinished() && search.exitCode() == 0;
        },
        Deadline));

    QElapsedTimer clock;
    clock.start();
    server.kill();
    QVERIFY(server.waitForFinished());
    QVERIFY(program.waitForFinished(2000));
    qInfo("ended %lld ms after the server", clock.elapsed());
    QCOMPARE(program.exitStatus(), QProcess::NormalExit); // no crash, no core
    QVERIFY(program.exitCode() != 0);
    const QList<QByteArray> lines = program.readAllStandardError().trimmed().split('\n');
    QCOMPARE(lines.size(), 1);
    QVERIFY(!lines.front().isEmpty());
}

void TestFaults::headDestroyedFromOutside_data()
{
    QTest::addColumn<bool>("destroyed");
    QTest::newRow("destroyed") << true;
    QTest::newRow("a notice another client sent") << false;
}

void TestFaults::headDestroyedFromOutside()
{
    QFETCH(bool, destroyed);
    Oglon oglon;
    QVERIFY(oglon.start());
    const Window head = oglon.head();
    if (destroyed) {
        QVERIFY(xdotool({ "windowclose", QString::number(head) }));
        QVERIFY(oglon.process().waitForFinished(2000));
        QCOMPARE(oglon.process().exitStatus(), QProcess::NormalExit);
        return;
    }
    // Only the server's word counts. openbox believes the notice and lets go
    // of the head (unmaps it): it comes back, with its states.
    QTRY_VERIFY_WITH_TIMEOUT(isAbove(head), Deadline);
    UnmapCounter unmaps(head);
    xcb_destroy_notify_event_t notice = {};
    notice.response_type = XCB_DESTROY_NOTIFY;
    notice.event = head;
    notice.window = head;
    xcb_send_event(connection(), 0, head, XCB_EVENT_MASK_STRUCTURE_NOTIFY,
        reinterpret_cast<const char *>(&notice));
    xcb_flush(connection());
    QTRY_VERIFY_WITH_TIMEOUT(unmaps.count() > 0, Deadline);
    QTRY_VERIFY_WITH_TIMEOUT(
        isViewable(head) && isAbove(head) && hasStates(head, OffTaskbar), Deadline);
    QCOMPARE(oglon.process().state(), QProcess::Running);
}

QTEST_MAIN(TestFaults)
#include "tst_e2e_faults.moc"

// Under Plasma Wayland, in a real headless KWin with XWayland (kwin-session.sh):
// the pointer moved by KWin's fake input over a native Wayland window and the
// empty desktop, where the X server cannot see it; the pupils judged from the
// head window's own pixels.
#include "e2e.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QRegularExpression>
#include <QtTest>
#include <csignal>

using namespace e2e;

namespace {

constexpr int LeftButton = 0x110, RightButton = 0x111; // Linux's button codes

// One request to the fake-input client: "X Y" or "click BUTTON".
bool fakeInput(QProcess &client, const QString &request)
{
    client.write(request.toLatin1() + '\n');
    return QTest::qWaitFor([&] { return client.readLine().startsWith("done"); }, Deadline);
}

bool movePointer(QProcess &client, QPoint to)
{
    return fakeInput(client, QStringLiteral("%1 %2").arg(to.x()).arg(to.y()));
}

// Onto an X11 window: done once the X server sees the pointer there.
bool moveOntoX11(QProcess &client, QPoint to)
{
    int step = 0;
    return QTest::qWaitFor(
        [&] {
            const QPoint at = to + QPoint(step++ % 2, 0);
            return movePointer(client, at) && e2e::pointer() == at;
        },
        Deadline);
}

// The scripts KWin runs, each an object: /N in KWin 5, /Scripting/ScriptN in 6.
QStringList kwinScripts()
{
    static const QRegularExpression numbered(QStringLiteral("<node name=\"((Script)?[0-9]+)\"/>"));
    QStringList paths;
    for (const QString parent : { "", "/Scripting" }) {
        const QDBusMessage reply = QDBusConnection::sessionBus().call(
            QDBusMessage::createMethodCall("org.kde.KWin", parent.isEmpty() ? "/" : parent,
                "org.freedesktop.DBus.Introspectable", "Introspect"));
        auto nodes = numbered.globalMatch(reply.arguments().value(0).toString());
        while (nodes.hasNext())
            paths << parent + '/' + nodes.next().captured(1);
    }
    return paths;
}

// Calls KWin; the reply's first value.
QVariant kwin(const QString &path, const QString &interface, const QString &method,
    const QVariantList &arguments = {})
{
    QDBusMessage call = QDBusMessage::createMethodCall("org.kde.KWin", path, interface, method);
    call.setArguments(arguments);
    return QDBusConnection::sessionBus().call(call).arguments().value(0);
}

// Another script in KWin: its calls carry KWin's name on the bus too.
void runHostileScript(qint64 oglon)
{
    QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface();
    QString name;
    for (const QString &each : bus->registeredServiceNames().value()) {
        if (each.startsWith(':') && bus->servicePid(each).value() == oglon)
            name = each;
    }
    QFile file(qEnvironmentVariable("XDG_RUNTIME_DIR") + "/hostile.js");
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("callDBus('" + name.toLatin1()
        + "', '/org/oglon/Pointer', 'org.oglon.Pointer', 'report', 1e9, 0, -1.5e9, 0, 91, 159);");
    file.close();
    const QStringList before = kwinScripts();
    kwin("/Scripting", "org.kde.kwin.Scripting", "loadScript", { file.fileName(), "hostile" });
    for (const QString &script : kwinScripts()) {
        if (!before.contains(script))
            kwin(script, "org.kde.kwin.Script", "run");
    }
}

int scriptFiles()
{
    return int(QDir(qEnvironmentVariable("XDG_RUNTIME_DIR"))
                   .entryList({ QStringLiteral("oglon-pointer-*.js") }, QDir::Files)
                   .size());
}

} // namespace

class TestKWin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void followsPointer_data();
    void followsPointer();
    void compositorFaults_data();
    void compositorFaults();
    void cleanupTestCase();

private:
    QProcess mFakePointer;
    QProcess mNativeWindow;
};

void TestKWin::initTestCase()
{
    mFakePointer.start(QStringLiteral(OGLON_FAKE_POINTER), {});
    QVERIFY(mFakePointer.waitForReadyRead(Deadline));
    QProcessEnvironment wayland = QProcessEnvironment::systemEnvironment();
    wayland.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
    mNativeWindow.setProcessEnvironment(wayland);
    mNativeWindow.start(QStringLiteral(OGLON_WAYLAND_WINDOW), {});
    // Up once the pointer's motion over it reaches it.
    int step = 0;
    QVERIFY(QTest::qWaitFor(
        [&] {
            movePointer(mFakePointer, { 200 + ++step % 2, 200 });
            return mNativeWindow.readAll().contains("over");
        },
        Deadline));
}

void TestKWin::cleanupTestCase()
{
    mFakePointer.closeWriteChannel();
    mFakePointer.waitForFinished();
    mNativeWindow.kill();
    mNativeWindow.waitForFinished();
}

void TestKWin::followsPointer_data()
{
    QTest::addColumn<QString>("platform");
    QTest::addColumn<bool>("nativeWindow");
    QTest::addColumn<QString>("end");
    QTest::newRow("over a native window, SIGTERM") << QString() << true << "SIGTERM";
    QTest::newRow("QT_QPA_PLATFORM=wayland, Exit") << "wayland" << true << "Exit";
    QTest::newRow("over the empty desktop, SIGTERM") << QString() << false << "SIGTERM";
}

void TestKWin::followsPointer()
{
    QFETCH(QString, platform);
    QFETCH(bool, nativeWindow);
    QFETCH(QString, end);
    if (!nativeWindow) {
        mNativeWindow.kill();
        mNativeWindow.waitForFinished();
    }
    const qsizetype scripts = kwinScripts().size();
    const int files = scriptFiles();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    Run oglon(environment);
    const Window head = oglon.head();
    QVERIFY(head);
    QVERIFY(QTest::qWaitFor([&] { return oglon.said().contains("pointer comes from KWin"); }));
    QCOMPARE(oglon.said().count('\n'), 1);
    QCOMPARE(kwinScripts().size(), scripts + 1);
    QCOMPARE(scriptFiles(), files + 1);
    // KWin took the states set before the head was first mapped.
    const QStringList state = atomNames(head, "_NET_WM_STATE");
    QVERIFY2(state.contains("_NET_WM_STATE_ABOVE") && state.contains("_NET_WM_STATE_SKIP_TASKBAR"),
        qPrintable(state.join(' ')));

    const QPoint corner = clientRect(head).topLeft();
    for (const QPoint to : { QPoint(60, 80), QPoint(980, 720) }) {
        mNativeWindow.readAll();
        QTest::qWait(PointerRest);
        QVERIFY(movePointer(mFakePointer, to));
        const QByteArray over = QStringLiteral("over %1 %2").arg(to.x()).arg(to.y()).toLatin1();
        QByteArray told;
        QVERIFY(!nativeWindow
            || QTest::qWaitFor([&] { return (told += mNativeWindow.readAll()).contains(over); }));
        QVERIFY(e2e::pointer() != to); // what the X server cannot tell
        QString seen;
        QVERIFY2(pupilsLookAt(head, to - corner, &seen), qPrintable(seen));
    }

    if (end == "Exit") {
        QVERIFY(moveOntoX11(mFakePointer, corner + QPoint(45, 12)));
        QVERIFY(fakeInput(mFakePointer, QStringLiteral("click %1").arg(RightButton)));
        QList<Window> menus;
        QVERIFY(
            QTest::qWaitFor([&] { return (menus = popups(oglon.process.processId())).size(); }));
        const QRect menu = clientRect(menus.front()); // Exit is its last item
        QVERIFY(moveOntoX11(mFakePointer, { menu.center().x(), menu.bottom() - 6 }));
        QVERIFY(fakeInput(mFakePointer, QStringLiteral("click %1").arg(LeftButton)));
    } else {
        ::kill(pid_t(oglon.process.processId()), SIGTERM);
    }
    QVERIFY(oglon.ended());
    QCOMPARE(oglon.process.exitCode(), 0);
    QCOMPARE(kwinScripts().size(), scripts);
    QCOMPARE(scriptFiles(), files);
}

void TestKWin::compositorFaults_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("said");
    QTest::addColumn<bool>("recovers");
    QTest::addColumn<int>("lines");
    // Without KWin, a build with the cursor session asks the compositor for
    // one, and says what it found.
#ifdef OGLON_CURSOR_SESSION
    const QString withoutKWin = QStringLiteral("compositor");
#else
    const QString withoutKWin = QStringLiteral("without KWin");
#endif
    QTest::newRow("KWin not on the session bus") << "no KWin" << withoutKWin << false << 1;
    QTest::newRow("KWin stalled at start, then resumed") << "stall"
                                                         << "sent no report" << true << 2;
    QTest::newRow("the script stopped") << "stop"
                                        << "comes from KWin" << true << 1;
    QTest::newRow("the script stopped, the pointer off X11") << "stop unseen"
                                                             << "comes from KWin" << true << 1;
    QTest::newRow("a report out of range") << "hostile"
                                           << "comes from KWin" << true << 2;
    QTest::newRow("a killed Oglon's leftovers") << "leftovers"
                                                << "comes from KWin" << true << 1;
}

// Without KWin's reports the head still follows the pointer over X11 windows;
// where they can come back, they do. Nothing is left behind in KWin.
void TestKWin::compositorFaults()
{
    QFETCH(QString, fault);
    QFETCH(QString, said);
    QFETCH(bool, recovers);
    QFETCH(int, lines);
    const QStringList scripts = kwinScripts();
    const int files = scriptFiles();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QProcess bus; // a session bus of its own, with no KWin on it
    if (fault == "no KWin") {
        bus.start(QStringLiteral("dbus-daemon"), { "--session", "--nofork", "--print-address=1" });
        QVERIFY(bus.waitForReadyRead(Deadline));
        environment.insert(
            "DBUS_SESSION_BUS_ADDRESS", QString::fromLatin1(bus.readLine().trimmed()));
    }
    if (fault == "leftovers") {
        Run killed(environment);
        QVERIFY(QTest::qWaitFor([&] { return killed.said().contains(said); }));
        ::kill(pid_t(killed.process.processId()), SIGKILL);
        QVERIFY(killed.ended());
        QCOMPARE(kwinScripts().size(), scripts.size() + 1);
        QCOMPARE(scriptFiles(), files + 1);
    }
    const pid_t kwinPid = pid_t(qEnvironmentVariableIntValue("OGLON_KWIN_PID"));
    QVERIFY(kwinPid > 0);
    if (fault == "stall")
        ::kill(kwinPid, SIGSTOP);
    auto resume = qScopeGuard([&] { ::kill(kwinPid, SIGCONT); });
    Run oglon(environment);
    QVERIFY(QTest::qWaitFor([&] { return oglon.said().contains(said); }));
    ::kill(kwinPid, SIGCONT);
    const Window head = oglon.head();
    QVERIFY(head);
    const QPoint corner = clientRect(head).topLeft();
    QElapsedTimer stopped;
    if (fault == "leftovers") {
        QCOMPARE(kwinScripts().size(), scripts.size() + 1);
        QCOMPARE(scriptFiles(), files + 1);
    } else if (fault.startsWith("stop")) {
        if (fault == "stop unseen") { // followed off X11 until then
            QString seen;
            QVERIFY(movePointer(mFakePointer, { 100, 600 }));
            QVERIFY2(pupilsLookAt(head, QPoint(100, 600) - corner, &seen), qPrintable(seen));
        }
        for (const QString &script : kwinScripts()) {
            if (!scripts.contains(script))
                kwin(script, "org.kde.kwin.Script", "stop");
        }
        QVERIFY(QTest::qWaitFor([&] { return kwinScripts() == scripts; }));
        stopped.start();
    }
    if (fault == "stop") {
        // The X server sees the pointer move over the head, KWin's script
        // says nothing.
        int step = 0;
        QVERIFY(QTest::qWaitFor(
            [&] {
                return moveOntoX11(mFakePointer, corner + QPoint(20 + ++step % 50, 40))
                    && kwinScripts().size() > scripts.size();
            },
            2 * Deadline));
    } else if (fault == "hostile") {
        runHostileScript(oglon.process.processId());
        QVERIFY(QTest::qWaitFor([&] { return oglon.said().contains("out of range"); }));
    }

    // Where KWin's reports come back the pupils follow where the X server
    // cannot see the pointer; else over X11 windows.
    const QPoint to = recovers ? QPoint(60, 80) : corner + QPoint(45, 30);
    QVERIFY(recovers ? movePointer(mFakePointer, to) : moveOntoX11(mFakePointer, to));
    // Over X11, the pointer may have come to rest a pixel right of `to`.
    QVERIFY(recovers == ((e2e::pointer() - to).manhattanLength() > 1));
    QString seen;
    QVERIFY2(pupilsLookAt(head, to - corner, &seen), qPrintable(seen));
    if (fault == "stop unseen")
        qInfo("followed again %lld ms after the script stopped", stopped.elapsed());
    oglon.process.terminate();
    QVERIFY(oglon.ended());
    QCOMPARE(oglon.process.exitCode(), 0);
    QCOMPARE(oglon.said().count('\n'), lines);
    kwin("/Scripting", "org.kde.kwin.Scripting", "unloadScript", { "hostile" });
    QVERIFY(QTest::qWaitFor([&] { return kwinScripts() == scripts; }));
    QCOMPARE(scriptFiles(), files);
    bus.terminate();
    bus.waitForFinished();
}

int main(int argc, char *argv[])
{
    // The test looks at the X server; Qt would pick Wayland in this session.
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    TestKWin test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_e2e_kwin.moc"

// Under Plasma Wayland, in a real headless KWin with XWayland (kwin-session.sh):
// the pointer moved by KWin's fake input over a native Wayland window and the
// empty desktop, where the X server cannot see it; the pupils judged from the
// head window's own pixels.
#include "e2e.h"

#include <QDBusConnection>
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
int kwinScripts()
{
    static const QRegularExpression numbered(QStringLiteral("<node name=\"(Script)?[0-9]+\"/>"));
    int count = 0;
    for (const QString path : { "/", "/Scripting" }) {
        const QDBusMessage reply
            = QDBusConnection::sessionBus().call(QDBusMessage::createMethodCall(
                "org.kde.KWin", path, "org.freedesktop.DBus.Introspectable", "Introspect"));
        count += int(reply.arguments().value(0).toString().count(numbered));
    }
    return count;
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
    void fallsBack_data();
    void fallsBack();
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
    // Killed first: the script it leaves in KWin must not stand in the way
    // of the next ones.
    QTest::newRow("over a native window, killed") << QString() << true << "kill";
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
    const int scripts = kwinScripts();
    const int files = scriptFiles();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    Run oglon(environment);
    const Window head = oglon.head();
    QVERIFY(head);
    QVERIFY(QTest::qWaitFor([&] { return oglon.said().contains("pointer comes from KWin"); }));
    QCOMPARE(oglon.said().count('\n'), 1);
    QCOMPARE(kwinScripts(), scripts + 1);
    QCOMPARE(scriptFiles(), files + 1);
    // KWin took the states set before the head was first mapped.
    const QStringList state = atomNames(head, "_NET_WM_STATE");
    QVERIFY2(state.contains("_NET_WM_STATE_ABOVE") && state.contains("_NET_WM_STATE_SKIP_TASKBAR"),
        qPrintable(state.join(' ')));

    const QPoint corner = clientRect(head).topLeft();
    for (const QPoint to : { QPoint(60, 80), QPoint(980, 720) }) {
        mNativeWindow.readAll();
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
        ::kill(pid_t(oglon.process.processId()), end == "kill" ? SIGKILL : SIGTERM);
    }
    QVERIFY(oglon.ended());
    const bool crashed = end == "kill";
    QCOMPARE(oglon.process.exitCode(), crashed ? SIGKILL : 0);
    QCOMPARE(kwinScripts(), scripts + crashed);
    QCOMPARE(scriptFiles(), files + crashed);
}

void TestKWin::fallsBack_data()
{
    QTest::addColumn<bool>("stopKWin");
    QTest::addColumn<QString>("reason");
    QTest::newRow("KWin not on the session bus") << false << "without KWin";
    QTest::newRow("KWin does not answer") << true << "sent no report";
}

// Without KWin's reports the head still follows the pointer over X11 windows,
// and leaves nothing behind in KWin.
void TestKWin::fallsBack()
{
    QFETCH(bool, stopKWin);
    QFETCH(QString, reason);
    const int scripts = kwinScripts();
    const int files = scriptFiles();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QProcess bus; // a session bus of its own, with no KWin on it
    if (!stopKWin) {
        bus.start(QStringLiteral("dbus-daemon"), { "--session", "--nofork", "--print-address=1" });
        QVERIFY(bus.waitForReadyRead(Deadline));
        environment.insert(
            "DBUS_SESSION_BUS_ADDRESS", QString::fromLatin1(bus.readLine().trimmed()));
    }
    const pid_t kwin = pid_t(qEnvironmentVariableIntValue("OGLON_KWIN_PID"));
    QVERIFY(kwin > 0);
    if (stopKWin)
        ::kill(kwin, SIGSTOP);
    auto resume = qScopeGuard([&] { ::kill(kwin, SIGCONT); });
    Run oglon(environment);
    QVERIFY(QTest::qWaitFor([&] { return oglon.said().contains(reason); }));
    ::kill(kwin, SIGCONT);

    const Window head = oglon.head();
    QVERIFY(head);
    const QPoint corner = clientRect(head).topLeft();
    QVERIFY(moveOntoX11(mFakePointer, corner + QPoint(45, 30)));
    QString seen;
    QVERIFY2(pupilsLookAt(head, e2e::pointer() - corner, &seen), qPrintable(seen));
    oglon.process.terminate();
    QVERIFY(oglon.ended());
    QCOMPARE(oglon.process.exitCode(), 0);
    QCOMPARE(oglon.said().count('\n'), 1);
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

// Under GNOME on Wayland, in a real headless GNOME Shell with XWayland
// (gnome-session.sh) and Oglon's Shell extension: the pointer moved by the
// tests' own extension over a native GTK window and the empty desktop, where
// the X server cannot see it; the pupils judged from the head's own pixels.
#include "e2e.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QtTest>
#include <csignal>
#include <memory>

using namespace e2e;

namespace {

constexpr unsigned LeftButton = 1, RightButton = 3; // Clutter's button numbers
const QStringList Uuids { "oglon-pointer@oglon.org", "oglon-pointer-legacy@oglon.org" };

QDBusMessage shell(const QString &path, const QString &interface, const QString &method,
    const QVariantList &arguments = {})
{
    QDBusMessage call = QDBusMessage::createMethodCall("org.gnome.Shell", path, interface, method);
    call.setArguments(arguments);
    call.setAutoStartService(false);
    return QDBusConnection::sessionBus().call(call, QDBus::Block, Deadline);
}

QVariant testPointer(const QString &method, const QVariantList &arguments = {})
{
    return shell("/org/oglon/TestPointer", "org.oglon.TestPointer", method, arguments)
        .arguments()
        .value(0);
}

void moveShellPointer(QPoint to)
{
    testPointer("Move", { double(to.x()), double(to.y()) });
}

// Onto an X11 window: done once the X server sees the pointer there.
bool moveOntoX11(QPoint to)
{
    int step = 0;
    return QTest::qWaitFor(
        [&] {
            const QPoint at = to + QPoint(step++ % 2, 0);
            moveShellPointer(at);
            return e2e::pointer() == at;
        },
        Deadline);
}

// The extension in both formats: one of them is this shell's.
void forBoth(const QString &method)
{
    for (const QString &uuid : Uuids)
        shell("/org/gnome/Shell", "org.gnome.Shell.Extensions", method, { uuid });
}

bool subscribers(int count)
{
    return QTest::qWaitFor([&] { return testPointer("Subscribers").toInt() == count; });
}

} // namespace

class TestGnome : public QObject
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
    QProcess mNativeWindow;
};

void TestGnome::initTestCase()
{
    QProcessEnvironment wayland = QProcessEnvironment::systemEnvironment();
    wayland.insert("GDK_BACKEND", "wayland");
    wayland.insert("GTK_A11Y", "none");
    mNativeWindow.setProcessEnvironment(wayland);
    mNativeWindow.start(QStringLiteral(OGLON_GTK_WINDOW), {});
    // Up once the overview the shell opens at start is gone and the pointer's
    // motion over the window reaches it: on a busy machine that may take a
    // while after the shell's start.
    int step = 0;
    QVERIFY(QTest::qWaitFor(
        [&] {
            if (!testPointer("HideOverview").toBool())
                return false;
            moveShellPointer({ 200 + ++step % 2, 600 });
            return mNativeWindow.readAll().contains("over");
        },
        3 * Deadline));
}

void TestGnome::cleanupTestCase()
{
    mNativeWindow.kill();
    mNativeWindow.waitForFinished();
}

void TestGnome::followsPointer_data()
{
    QTest::addColumn<bool>("nativeWindow");
    QTest::addColumn<int>("instances");
    QTest::addColumn<bool>("offAndOn");
    QTest::addColumn<QString>("end");
    QTest::newRow("over a native window, killed") << true << 1 << false << "kill";
    QTest::newRow("two at once, a foreign caller refused, SIGTERM")
        << true << 2 << false << "SIGTERM";
    QTest::newRow("over the empty desktop, the extension off and on, Exit")
        << false << 1 << true << "Exit";
}

void TestGnome::followsPointer()
{
    QFETCH(bool, nativeWindow);
    QFETCH(int, instances);
    QFETCH(bool, offAndOn);
    QFETCH(QString, end);
    if (!nativeWindow) {
        mNativeWindow.kill();
        mNativeWindow.waitForFinished();
    }
    const QString following = "the pointer comes from GNOME Shell";
    std::vector<std::unique_ptr<Run>> runs;
    QList<Window> heads;
    for (int i = 0; i < instances; ++i) {
        runs.push_back(std::make_unique<Run>(QProcessEnvironment::systemEnvironment()));
        heads << runs.back()->head();
        QVERIFY(heads.back());
        QVERIFY(QTest::qWaitFor([&] { return runs.back()->said().contains(following); }));
    }
    QVERIFY(subscribers(instances));

    if (instances > 1) {
        // Another program may not watch the pointer through Oglon's head.
        const QDBusMessage refused = shell("/org/oglon/PointerReporter",
            "org.oglon.PointerReporter", "Subscribe", { quint64(heads.front()) });
        QCOMPARE(refused.errorName(), "org.freedesktop.DBus.Error.AccessDenied");
        QVERIFY(subscribers(instances));
    }
    if (offAndOn) {
        forBoth("DisableExtension");
        QVERIFY(QTest::qWaitFor([&] { return runs[0]->said().contains("is not enabled"); }));
        QVERIFY(subscribers(0));
        forBoth("EnableExtension");
        QVERIFY(QTest::qWaitFor([&] { return runs[0]->said().count(following) == 2; }));
    }

    for (const QPoint to : { QPoint(60, 700), QPoint(1200, 100) }) {
        mNativeWindow.readAll();
        QTest::qWait(PointerRest);
        moveShellPointer(to);
        QVERIFY(!nativeWindow || QTest::qWaitFor([&] { return mNativeWindow.readAll().size(); }));
        QVERIFY(e2e::pointer() != to); // what the X server cannot tell
        for (const Window head : heads) {
            QString seen;
            QVERIFY2(pupilsLookAt(head, to - clientRect(head).topLeft(), &seen), qPrintable(seen));
        }
    }

    if (end == "Exit") {
        QVERIFY(moveOntoX11(clientRect(heads[0]).topLeft() + QPoint(45, 12)));
        testPointer("Click", { RightButton });
        QList<Window> menus;
        const qint64 pid = runs[0]->process.processId();
        QVERIFY(QTest::qWaitFor([&] { return (menus = popups(pid)).size(); }));
        const QRect menu = clientRect(menus.front()); // Exit is its last item
        QVERIFY(moveOntoX11({ menu.center().x(), menu.bottom() - 6 }));
        testPointer("Click", { LeftButton });
    } else {
        for (const auto &run : runs)
            ::kill(pid_t(run->process.processId()), end == "kill" ? SIGKILL : SIGTERM);
    }
    for (const auto &run : runs) {
        QVERIFY(run->ended());
        QCOMPARE(run->process.exitCode(), end == "kill" ? SIGKILL : 0);
        QCOMPARE(run->said().count('\n'), offAndOn ? 3 : 1);
    }
    QVERIFY(subscribers(0));
}

void TestGnome::fallsBack_data()
{
    QTest::addColumn<bool>("stopShell");
    QTest::addColumn<QString>("reason");
    QTest::newRow("the shell does not answer, then does") << true << "GNOME Shell does not answer";
    // Last: the extension is gone for good then.
    QTest::newRow("the extension is not installed") << false << "extension is not installed";
}

// Without the extension's reports the head still follows the pointer over
// X11 windows; it subscribes again once the shell answers, and leaves nothing
// subscribed.
void TestGnome::fallsBack()
{
    QFETCH(bool, stopShell);
    QFETCH(QString, reason);
    const pid_t gnomeShell = pid_t(qEnvironmentVariableIntValue("OGLON_SHELL_PID"));
    QVERIFY(gnomeShell > 0);
    if (stopShell)
        ::kill(gnomeShell, SIGSTOP);
    else
        forBoth("UninstallExtension");
    auto resume = qScopeGuard([&] { ::kill(gnomeShell, SIGCONT); });
    Run oglon(QProcessEnvironment::systemEnvironment());
    QVERIFY(QTest::qWaitFor([&] { return oglon.said().contains(reason); }));
    ::kill(gnomeShell, SIGCONT);

    const Window head = oglon.head();
    QVERIFY(head);
    const QPoint corner = clientRect(head).topLeft();
    QVERIFY(moveOntoX11(corner + QPoint(45, 30)));
    QString seen;
    QVERIFY2(pupilsLookAt(head, e2e::pointer() - corner, &seen), qPrintable(seen));
    // A shell that answers again is asked again.
    QVERIFY(!stopShell
        || QTest::qWaitFor([&] { return oglon.said().contains("comes from GNOME Shell"); }));
    QVERIFY(subscribers(stopShell));
    oglon.process.terminate();
    QVERIFY(oglon.ended());
    QCOMPARE(oglon.process.exitCode(), 0);
    QCOMPARE(oglon.said().count('\n'), stopShell ? 2 : 1);
    QVERIFY(subscribers(0));
}

int main(int argc, char *argv[])
{
    // The test looks at the X server; Qt would pick Wayland in this session.
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    TestGnome test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_e2e_gnome.moc"

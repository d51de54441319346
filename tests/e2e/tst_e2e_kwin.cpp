// Under Plasma Wayland, in a real headless KWin with XWayland (kwin-session.sh):
// the pointer moved by KWin's fake input over a native Wayland window and the
// empty desktop, where the X server cannot see it; the pupils judged from the
// head window's own pixels.
#include "e2e.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>

using namespace e2e;

namespace {

// Linux's codes for the buttons.
constexpr int LeftButton = 0x110;
constexpr int RightButton = 0x111;

// Talks to the fake-input client that moves KWin's pointer.
bool send(QProcess &fakePointer, const QString &line)
{
    fakePointer.write(line.toLatin1() + '\n');
    return QTest::qWaitFor([&] { return fakePointer.readLine().startsWith("done"); }, Deadline);
}

bool movePointer(QProcess &fakePointer, QPoint to)
{
    return send(fakePointer, QStringLiteral("%1 %2").arg(to.x()).arg(to.y()));
}

// Moves the pointer onto an X11 window and waits until the X server sees it
// there, that is until KWin has the window under the pointer.
bool moveOntoX11(QProcess &fakePointer, QPoint to)
{
    int step = 0;
    return QTest::qWaitFor(
        [&] {
            const QPoint at = to + QPoint(step++ % 2, 0);
            return movePointer(fakePointer, at) && e2e::pointer() == at;
        },
        Deadline);
}

// XWayland's root window shows nothing of the windows on it: the head's own
// contents are read instead.
QImage grabHead(Window head)
{
    const QSize size = clientRect(head).size();
    xcb_get_image_reply_t *reply = xcb_get_image_reply(connection(),
        xcb_get_image(connection(), XCB_IMAGE_FORMAT_Z_PIXMAP, head, 0, 0, uint16_t(size.width()),
            uint16_t(size.height()), ~0u),
        nullptr);
    if (!reply)
        return {};
    const QImage image
        = QImage(xcb_get_image_data(reply), size.width(), size.height(), QImage::Format_RGB32)
              .copy();
    free(reply);
    return image;
}

bool pupilsLookAt(Window head, QPoint client, QString *seen)
{
    const std::array<QPoint, 2> expected = expectedPupils(client);
    return QTest::qWaitFor(
        [&] {
            const QImage shot = grabHead(head);
            *seen = QStringLiteral("expected (%1,%2) (%3,%4)")
                        .arg(expected[0].x())
                        .arg(expected[0].y())
                        .arg(expected[1].x())
                        .arg(expected[1].y());
            for (int eye = 0; eye < 2; ++eye) {
                const std::optional<QPoint> pupil = findPupil(shot, eye);
                if (!pupil || (*pupil - expected[eye]).manhattanLength() > 2)
                    return false;
            }
            return true;
        },
        Deadline);
}

// The scripts KWin runs: each has an object, /N in KWin 5, /Scripting/ScriptN
// in KWin 6.
int kwinScripts()
{
    const auto children = [](const QString &path) {
        const QDBusMessage reply = QDBusConnection::sessionBus().call(
            QDBusMessage::createMethodCall(QStringLiteral("org.kde.KWin"), path,
                QStringLiteral("org.freedesktop.DBus.Introspectable"),
                QStringLiteral("Introspect")));
        return reply.arguments().value(0).toString();
    };
    static const QRegularExpression numbered(QStringLiteral("<node name=\"(Script)?[0-9]+\"/>"));
    return int(children(QStringLiteral("/")).count(numbered)
        + children(QStringLiteral("/Scripting")).count(numbered));
}

int scriptFiles()
{
    return int(QDir(qEnvironmentVariable("XDG_RUNTIME_DIR"))
                   .entryList({ QStringLiteral("oglon-pointer-*.js") }, QDir::Files)
                   .size());
}

// Asks the window manager to close a window, as a title bar button would.
void closeWindow(Window window)
{
    xcb_connection_t *c = connection();
    const char name[] = "_NET_CLOSE_WINDOW";
    xcb_intern_atom_reply_t *atom
        = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, sizeof name - 1, name), nullptr);
    xcb_client_message_event_t event = {};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = atom ? atom->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(atom);
    const Window root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_send_event(c, 0, root,
        XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
        reinterpret_cast<const char *>(&event));
    xcb_flush(c);
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
    // Starts Oglon with its stderr going to a file; its head window, or 0.
    Window start(QProcess &oglon, const QProcessEnvironment &environment);
    QString said() const;

    QProcess mFakePointer;
    QProcess mNativeWindow;
    QTemporaryDir mDir;
};

void TestKWin::initTestCase()
{
    mFakePointer.start(QStringLiteral(OGLON_FAKE_POINTER), {});
    QVERIFY(mFakePointer.waitForReadyRead(Deadline));
    QCOMPARE(mFakePointer.readLine(), QByteArray("ready\n"));
    QProcessEnvironment wayland = QProcessEnvironment::systemEnvironment();
    wayland.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
    mNativeWindow.setProcessEnvironment(wayland);
    mNativeWindow.setProcessChannelMode(QProcess::ForwardedErrorChannel);
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
    mNativeWindow.kill();
    mNativeWindow.waitForFinished();
    mFakePointer.closeWriteChannel();
    mFakePointer.waitForFinished();
}

Window TestKWin::start(QProcess &oglon, const QProcessEnvironment &environment)
{
    oglon.setProcessEnvironment(environment);
    oglon.setStandardErrorFile(mDir.filePath(QStringLiteral("stderr")));
    oglon.start(QStringLiteral(OGLON_BINARY), {});
    QList<Window> heads;
    const bool found = QTest::qWaitFor(
        [&] { return (heads = windowsNamed("Oglon", oglon.processId())).size() == 1; }, Deadline);
    return found ? heads.front() : 0;
}

QString TestKWin::said() const
{
    QFile file(mDir.filePath(QStringLiteral("stderr")));
    return file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()) : QString();
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
    QTest::newRow("over a native window, SIGTERM") << QString() << true << "SIGTERM";
    QTest::newRow("over the empty desktop, closed by KWin") << QString() << false << "close";
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
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    if (!platform.isEmpty())
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    QProcess oglon;
    const Window head = start(oglon, environment);
    QVERIFY(head);
    QVERIFY(QTest::qWaitFor([&] { return said().contains("pointer comes from KWin"); }, Deadline));
    QCOMPARE(said().count('\n'), 1);
    QCOMPARE(kwinScripts(), scripts + 1);
    QCOMPARE(scriptFiles(), files + 1);
    // KWin took the states set before the head was first mapped.
    const QStringList state = atomNames(head, "_NET_WM_STATE");
    QVERIFY2(state.contains("_NET_WM_STATE_ABOVE") && state.contains("_NET_WM_STATE_SKIP_TASKBAR"),
        qPrintable(state.join(' ')));

    const QPoint corner = clientRect(head).topLeft();
    for (const QPoint to : { QPoint(60, 80), QPoint(980, 720), QPoint(520, 40) }) {
        mNativeWindow.readAll();
        QVERIFY(movePointer(mFakePointer, to));
        if (nativeWindow) {
            const QByteArray over = QStringLiteral("over %1 %2").arg(to.x()).arg(to.y()).toLatin1();
            QByteArray told;
            QVERIFY2(
                QTest::qWaitFor(
                    [&] { return (told += mNativeWindow.readAll()).contains(over); }, Deadline),
                told.constData());
        }
        // What the X server cannot tell.
        QVERIFY(e2e::pointer() != to);
        QString seen;
        QVERIFY2(pupilsLookAt(head, to - corner, &seen), qPrintable(seen));
    }

    if (end == "kill") {
        oglon.kill();
    } else if (end == "SIGTERM") {
        oglon.terminate();
    } else if (end == "close") {
        closeWindow(head);
    } else {
        QVERIFY(moveOntoX11(mFakePointer, corner + QPoint(45, 12)));
        QVERIFY(send(mFakePointer, QStringLiteral("click %1").arg(RightButton)));
        QList<Window> menus;
        QVERIFY(QTest::qWaitFor([&] { return (menus = popups(oglon.processId())).size() == 1; }));
        // Exit is the menu's last item.
        const QRect menu = clientRect(menus.front());
        QVERIFY(moveOntoX11(mFakePointer, { menu.center().x(), menu.bottom() - 6 }));
        QVERIFY(send(mFakePointer, QStringLiteral("click %1").arg(LeftButton)));
    }
    QVERIFY(oglon.waitForFinished(Deadline));
    const bool crashed = end == "kill";
    QCOMPARE(oglon.exitStatus() == QProcess::CrashExit, crashed);
    QCOMPARE(oglon.exitCode(), crashed ? SIGKILL : 0);
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
    QProcess bus;
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
    QProcess oglon;
    oglon.setProcessEnvironment(environment);
    oglon.setStandardErrorFile(mDir.filePath(QStringLiteral("stderr")));
    oglon.start(QStringLiteral(OGLON_BINARY), {});
    QVERIFY(QTest::qWaitFor([&] { return said().contains(reason); }, Deadline));
    resume.dismiss();
    ::kill(kwin, SIGCONT);

    QList<Window> heads;
    QVERIFY(QTest::qWaitFor(
        [&] { return (heads = windowsNamed("Oglon", oglon.processId())).size() == 1; }, Deadline));
    const QPoint corner = clientRect(heads.front()).topLeft();
    QVERIFY(moveOntoX11(mFakePointer, corner + QPoint(45, 30)));
    const QPoint client = e2e::pointer() - corner;
    QString seen;
    QVERIFY2(pupilsLookAt(heads.front(), client, &seen), qPrintable(seen));
    oglon.terminate();
    QVERIFY(oglon.waitForFinished(Deadline));
    QCOMPARE(oglon.exitCode(), 0);
    QCOMPARE(said().count('\n'), 1);
    QVERIFY(QTest::qWaitFor([&] { return kwinScripts() == scripts; }, Deadline));
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

// Under sway and labwc, headless compositors built on wlroots, with XWayland
// (wlroots/wlr-session.sh, one session per compositor): the real program
// through XWayland, the pointer moved by the compositor's virtual pointer
// protocol, what it says judged against what the compositor's release offers.
#include "e2e.h"

#include <QRegularExpression>
#include <QVersionNumber>
#include <QtTest>

using namespace e2e;

namespace {

// What the program says at start where the compositor tells it nothing of
// the pointer, and where it does.
const QString PlainLine = QStringLiteral(
    "this compositor does not share the pointer; sway 1.11 or labwc 0.9 and later do");
const QString SharedLine = QStringLiteral("the pointer comes from the compositor's cursor session");

// The session's compositor and its release, as its --version says.
struct Compositor
{
    QString name;
    QVersionNumber version;
};

Compositor sessionCompositor()
{
    const QString name = qEnvironmentVariable("OGLON_COMPOSITOR");
    QProcess process;
    process.start(name, { QStringLiteral("--version") });
    process.waitForFinished(Deadline);
    static const QRegularExpression release(QStringLiteral("\\b([0-9]+\\.[0-9]+(\\.[0-9]+)?)\\b"));
    const QString said
        = QString::fromLatin1(process.readAllStandardOutput() + process.readAllStandardError());
    return { name, QVersionNumber::fromString(release.match(said).captured(1)) };
}

// Whether the compositor tells clients where the pointer is, through the
// cursor session of ext-image-copy-capture-v1: sway 1.11 and labwc 0.9 on.
bool sharesPointer(const Compositor &compositor)
{
    const QVersionNumber since
        = compositor.name == "sway" ? QVersionNumber(1, 11) : QVersionNumber(0, 9);
    return compositor.version >= since;
}

// What the program should say at start under the compositor.
QString expectedLine(const Compositor &compositor)
{
    return sharesPointer(compositor) ? SharedLine : PlainLine;
}

// --- the session: pointer, output, native window, screenshots ---------------

// One request to a virtual pointer client: "X Y" in layout coordinates, or
// "click BUTTON" (a Linux button code).
bool virtualPointer(QProcess &client, const QString &request)
{
    client.write(request.toLatin1() + '\n');
    QByteArray answer;
    return QTest::qWaitFor([&] { return !(answer = client.readLine()).isEmpty(); }, Deadline)
        && answer.startsWith("done");
}

// Moves the pointer to a point of the output layout (logical pixels).
bool movePointer(QProcess &client, QPoint to)
{
    return virtualPointer(client, QStringLiteral("%1 %2").arg(to.x()).arg(to.y()));
}

// Where no window opens: the session's top-left corner.
constexpr QPoint AwayFromWindows { 2, 2 };

// Onto a point of an X11 window (client pixels): done once the X server sees
// the pointer there. The compositor may still be placing the window, and
// sway 1.10 at times tells XWayland nothing of a pointer moving over a window
// that just opened until it came in from outside the window again.
bool moveOntoX11(QProcess &client, Window window, QPoint to)
{
    return QTest::qWaitFor(
        [&] {
            const QPoint at = clientRect(window).topLeft() + to;
            return movePointer(client, AwayFromWindows) && movePointer(client, at)
                && QTest::qWaitFor([&] { return e2e::pointer() == at; }, 200);
        },
        Deadline);
}

// Runs one of the session's tools; true when it succeeded.
bool runTool(const QString &program, const QStringList &arguments)
{
    QProcess tool;
    tool.start(program, arguments);
    return tool.waitForFinished(Deadline) && tool.exitStatus() == QProcess::NormalExit
        && tool.exitCode() == 0;
}

// The scale of the session's one output, on either compositor.
bool setOutputScale(qreal scale)
{
    return runTool(QStringLiteral("wlr-randr"),
        { "--output", "HEADLESS-1", "--scale", QString::number(scale) });
}

// Starts the native Wayland window (it fills the output) and waits until the
// pointer's motion over `at` reaches it.
bool openNativeWindow(QProcess &window, QProcess &pointer, QPoint at = { 200, 200 })
{
    QProcessEnvironment wayland = QProcessEnvironment::systemEnvironment();
    wayland.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
    window.setProcessEnvironment(wayland);
    window.start(QStringLiteral(OGLON_WAYLAND_WINDOW), {});
    int step = 0;
    return QTest::qWaitFor(
        [&] {
            movePointer(pointer, at + QPoint(++step % 2, 0));
            return window.readAll().contains("over");
        },
        Deadline);
}

// Gives the native window the focus, as the compositor's own means do.
bool activateNativeWindow(const Compositor &compositor)
{
    if (compositor.name == "sway")
        return runTool(QStringLiteral("swaymsg"), { "[title=\"^native$\"] focus" });
    return runTool(QStringLiteral("wlrctl"), { "toplevel", "focus", "title:native" });
}

// What the output shows over `area` (layout coordinates), from the
// compositor's screen copy: at a scale above 1, that many pixels a point.
QImage screenshot(const QRect &area)
{
    QProcess grim;
    grim.start(QStringLiteral("grim"),
        { "-g",
            QStringLiteral("%1,%2 %3x%4")
                .arg(area.x())
                .arg(area.y())
                .arg(area.width())
                .arg(area.height()),
            "-" });
    if (!grim.waitForFinished(Deadline) || grim.exitCode() != 0)
        return {};
    return QImage::fromData(grim.readAllStandardOutput(), "PNG");
}

} // namespace

class TestWlroots : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void startsThroughXWayland_data();
    void startsThroughXWayland();
    void followsOverX11_data();
    void followsOverX11();
    void followsEverywhere_data();
    void followsEverywhere();
    void onlyTheHeadAbove();
    void cleanupTestCase();

private:
    Compositor mCompositor;
    QProcess mPointer;
};

void TestWlroots::initTestCase()
{
    mCompositor = sessionCompositor();
    QVERIFY2(!mCompositor.version.isNull(), qPrintable(mCompositor.name));
    qInfo("%s %s", qPrintable(mCompositor.name), qPrintable(mCompositor.version.toString()));
    mPointer.start(QStringLiteral(OGLON_VIRTUAL_POINTER), {});
    QVERIFY(mPointer.waitForReadyRead(Deadline));
    QVERIFY(mPointer.readLine().startsWith("ready"));
}

void TestWlroots::cleanupTestCase()
{
    mPointer.closeWriteChannel();
    mPointer.waitForFinished();
}

void TestWlroots::startsThroughXWayland_data()
{
    QTest::addColumn<QString>("platform");
    QTest::newRow("the session's platform") << QString();
    QTest::newRow("QT_QPA_PLATFORM=wayland") << "wayland";
}

// The head maps through XWayland, and the one line says what the program
// can do under this compositor.
void TestWlroots::startsThroughXWayland()
{
    QFETCH(QString, platform);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    Run oglon(environment);
    const Window head = oglon.head();
    QVERIFY(head);
    QVERIFY(QTest::qWaitFor([&] { return isViewable(head); }));
    QCOMPARE(clientRect(head).size(), HeadRect.size());
    QVERIFY(QTest::qWaitFor([&] { return oglon.said().contains('\n'); }));
    QVERIFY2(oglon.said().contains(expectedLine(mCompositor)), qPrintable(oglon.said()));
    oglon.process.terminate();
    QVERIFY(oglon.ended());
    QCOMPARE(oglon.process.exitCode(), 0);
    QCOMPARE(oglon.said().count('\n'), 1);
}

void TestWlroots::followsOverX11_data()
{
    QTest::addColumn<QPoint>("client");
    QTest::newRow("over the crown") << QPoint(45, 12);
    QTest::newRow("over the left cheek") << QPoint(12, 60);
    QTest::newRow("over the chin") << QPoint(60, 100);
}

// Over the head itself, an X11 window, XWayland sees the pointer where the
// compositor put it, and the pupils look there.
void TestWlroots::followsOverX11()
{
    QFETCH(QPoint, client);
    Run oglon(QProcessEnvironment::systemEnvironment());
    const Window head = oglon.head();
    QVERIFY(head);
    QVERIFY(QTest::qWaitFor([&] { return isViewable(head); }));
    QVERIFY(moveOntoX11(mPointer, head, client));
    QString seen;
    QVERIFY2(pupilsLookAt(head, client, &seen), qPrintable(seen));
    oglon.process.terminate();
    QVERIFY(oglon.ended());
}

void TestWlroots::followsEverywhere_data()
{
    QTest::addColumn<qreal>("scale");
    QTest::addColumn<bool>("native"); // a native window fills the output
    QTest::addColumn<QList<QPoint>>("targets"); // from the head's centre
    const QList<QPoint> corners { { -200, -150 }, { 200, -150 }, { -200, 150 }, { 200, 150 } };
    const QList<QPoint> sides { { -230, 0 }, { 230, 40 }, { 10, -170 } };
    QTest::newRow("over a native window") << 1.0 << true << corners;
    QTest::newRow("over the empty desktop") << 1.0 << false << sides;
    QTest::newRow("scale 2, over the empty desktop") << 2.0 << false << sides;
}

// Where XWayland never sees the pointer, the compositor's cursor session
// tells the program: before each point the pointer crosses the head on the
// other side, so that the pupils must turn to find it.
void TestWlroots::followsEverywhere()
{
    QFETCH(qreal, scale);
    QFETCH(bool, native);
    QFETCH(QList<QPoint>, targets);
    if (!sharesPointer(mCompositor))
        QSKIP("no cursor session here: the program says so (startsThroughXWayland)");
    // The scale first: a head opened before it may stay where it was.
    QVERIFY(setOutputScale(scale));
    const auto unscale = qScopeGuard([] { setOutputScale(1); });
    QProcess window;
    if (native)
        QVERIFY(openNativeWindow(window, mPointer));
    Run oglon(QProcessEnvironment::systemEnvironment());
    const Window head = oglon.head();
    QVERIFY(head);
    QVERIFY(QTest::qWaitFor([&] { return oglon.said().contains(SharedLine); }));
    QString seen;
    for (const QPoint offset : targets) {
        const QRect place = clientRect(head);
        const QPoint client = QPoint(45, 80) + offset;
        const QPoint across(offset.x() < 0 ? 65 : 25, offset.y() < 0 ? 110 : 60);
        QVERIFY(moveOntoX11(mPointer, head, across));
        QVERIFY2(pupilsLookAt(head, across, &seen), qPrintable(seen));
        QVERIFY(movePointer(mPointer, place.topLeft() + client));
        QVERIFY2(pupilsLookAt(head, client, &seen), qPrintable(seen));
    }
    oglon.process.terminate();
    QVERIFY(oglon.ended());
    window.kill();
    window.waitForFinished();
}

// Whether the head shows as itself over what lies beneath (`shot` is the
// head's place and 20 pixels round it): the pixels well outside the outline
// show the colour left of the head, the face does not.
bool onlyTheHeadShows(const QImage &shot, QString *seen)
{
    const QPoint at(20, 20);
    const QColor beneath = shot.pixelColor(at - QPoint(10, 0));
    const auto near = [&](QPoint p) {
        const QColor c = shot.pixelColor(at + p);
        return qAbs(c.red() - beneath.red()) <= 8 && qAbs(c.green() - beneath.green()) <= 8
            && qAbs(c.blue() - beneath.blue()) <= 8;
    };
    QRegion grown;
    for (int dx = -3; dx <= 3; ++dx)
        for (int dy = -3; dy <= 3; ++dy)
            grown |= headOutline().translated(dx, dy);
    int outside = 0, shown = 0, face = 0, covered = 0;
    for (const QRect &r : QRegion(QRect(QPoint(), HeadRect.size())) - grown)
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x, ++outside)
                shown += near({ x, y });
    for (const QRect &r : headOutline() & QRect(10, 10, 70, 120))
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x, ++face)
                covered += near({ x, y });
    *seen = QStringLiteral("%1 of %2 outside show what is beneath, %3 of %4 of the face do")
                .arg(shown)
                .arg(outside)
                .arg(covered)
                .arg(face);
    return outside > 0 && shown >= outside * 95 / 100 && covered <= face / 20;
}

// A compositor that draws the whole window shows its transparent pixels as
// what lies beneath; Always On Top keeps the head over a native window that
// opens after it and one that is then activated.
void TestWlroots::onlyTheHeadAbove()
{
    if (mCompositor.name == "labwc" && mCompositor.version < QVersionNumber(0, 9))
        QSKIP("labwc 0.8 lets a native window that opens later cover the head");
    Run oglon(QProcessEnvironment::systemEnvironment());
    const Window head = oglon.head();
    QVERIFY(head);
    QVERIFY(QTest::qWaitFor([&] { return isViewable(head); }));
    QProcess window;
    const auto close = qScopeGuard([&] {
        window.kill();
        window.waitForFinished();
    });
    QVERIFY(openNativeWindow(window, mPointer, { 60, 60 }));
    QString seen;
    for (const bool activated : { false, true }) {
        if (activated)
            QVERIFY(activateNativeWindow(mCompositor));
        QVERIFY2(QTest::qWaitFor(
                     [&] {
                         const QImage shot
                             = screenshot(clientRect(head).adjusted(-20, -20, 20, 20));
                         return !shot.isNull() && onlyTheHeadShows(shot, &seen);
                     },
                     Deadline),
            qPrintable(seen));
    }
    oglon.process.terminate();
    QVERIFY(oglon.ended());
}

int main(int argc, char *argv[])
{
    // The test looks at the X server; Qt would pick Wayland in this session.
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    TestWlroots test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_e2e_wlroots.moc"

// The core checks under the window manager xsession.sh started (OGLON_WM):
// CTest runs this once per window manager, each on its own X server.
#include "e2e.h"

#include <QPainter>
#include <QWidget>
#include <QtTest>
#include <xcb/shape.h>

using namespace e2e;

namespace {

const QString Wm = qEnvironmentVariable("OGLON_WM", QStringLiteral("openbox"));
// fvwm's default look decorates every window, ours too.
const bool Captioned = Wm == QLatin1String("fvwm");
const bool Managed = Wm != QLatin1String("none");

class Cover : public QWidget // a plain green window of the test's own
{
protected:
    void paintEvent(QPaintEvent *) override { QPainter(this).fillRect(rect(), Qt::green); }
};

bool isGreen(QRgb c)
{
    return qGreen(c) > 200 && qRed(c) < 50 && qBlue(c) < 50;
}

QStringList steps(QPoint by, int count)
{
    QStringList arguments;
    for (int i = 0; i < count; ++i)
        arguments
            += { "mousemove_relative", "--", QString::number(by.x()), QString::number(by.y()) };
    return arguments;
}

} // namespace

class TestWindowManagers : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void window();
    void shapedAndClickThrough();
    void dragIsExact();
    void alwaysOnTopToggles();
    void comesBackWithItsStates_data();
    void comesBackWithItsStates();
    void backOnScreenAfterShrink();
    void exitEndsCleanly();

private:
    Oglon oglon;
};

void TestWindowManagers::initTestCase()
{
    QVERIFY(movePointer({ 0, 0 }));
    QVERIFY(oglon.start());
}

void TestWindowManagers::window()
{
    const Window head = oglon.head();
    const QRect client = clientRect(head);
    // No frame, or with fvwm a caption above the client area alone.
    const QRect frame = frameRect(head);
    if (Captioned)
        QVERIFY2(frame.top() < client.top() && frame.contains(client), qPrintable(Wm));
    else
        QCOMPARE(frame, client);
    if (Managed)
        QTRY_VERIFY_WITH_TIMEOUT(
            atomNames(head, "_NET_WM_STATE").contains("_NET_WM_STATE_ABOVE"), Deadline);
    const QStringList state = atomNames(head, "_NET_WM_STATE");
    QVERIFY2(state.contains("_NET_WM_STATE_SKIP_TASKBAR"), qPrintable(state.join(' ')));
}

void TestWindowManagers::shapedAndClickThrough()
{
    const Window head = oglon.head();
    QCOMPARE(shape(head, XCB_SHAPE_SK_BOUNDING), headOutline());
    QCOMPARE(shape(head, XCB_SHAPE_SK_INPUT), headOutline());
    // A press beside the outline reaches the window beneath.
    Cover beneath;
    beneath.setWindowFlag(Qt::FramelessWindowHint);
    beneath.setGeometry(clientRect(head).adjusted(-30, -30, 30, 30));
    beneath.show();
    QVERIFY(QTest::qWaitForWindowExposed(&beneath));
    beneath.lower();
    beneath.setGeometry(clientRect(head).adjusted(-30, -30, 30, 30)); // where a WM placed it
    QTRY_COMPARE_WITH_TIMEOUT(clientRect(Window(beneath.winId())), beneath.geometry(), Deadline);
    const QPoint outside = oglon.onHead(QPoint(3, 40) - OutlineOffset);
    QTRY_VERIFY_WITH_TIMEOUT(
        !isGreen(grab(QRect(oglon.onHead({ 45, 80 }), QSize(1, 1))).pixel(0, 0))
            && isGreen(grab(QRect(outside, QSize(1, 1))).pixel(0, 0)),
        Deadline);
}

void TestWindowManagers::dragIsExact()
{
    // Short drags one after the other: the client area follows the pointer
    // and does not creep, whatever frame the window manager adds.
    const Window head = oglon.head();
    const QPoint start = clientRect(head).topLeft();
    for (int i = 1; i <= 4; ++i) {
        QVERIFY(xdotool(warpTo(oglon.onHead({ 40, 100 })) + QStringList { "mousedown", "1" }
            + steps({ 1, 1 }, 1)));
        QTRY_COMPARE_WITH_TIMEOUT(clientRect(head).topLeft(), start + QPoint(i, i), Deadline);
        QVERIFY(xdotool({ "mouseup", "1" }));
    }
    QVERIFY(xdotool(warpTo(oglon.onHead({ 40, 100 })) + QStringList { "mousedown", "1" }
        + steps({ -13, 9 }, 5)));
    QTRY_COMPARE_WITH_TIMEOUT(clientRect(head).topLeft(), start + QPoint(4 - 65, 4 + 45), Deadline);
    QVERIFY(xdotool({ "mouseup", "1" }));
}

void TestWindowManagers::alwaysOnTopToggles()
{
    // The menu opens (choose() waits for it) and its item turns the state
    // off and on.
    const Window head = oglon.head();
    // Off: a window raised over the eyes covers them (the crown stays free
    // for the menu).
    QVERIFY(oglon.choose("t"));
    if (Managed)
        QTRY_VERIFY_WITH_TIMEOUT(
            !atomNames(head, "_NET_WM_STATE").contains("_NET_WM_STATE_ABOVE"), Deadline);
    Cover cover;
    cover.setWindowFlag(Qt::FramelessWindowHint);
    cover.setGeometry(QRect(oglon.onHead({ 10, 60 }), QSize(70, 60)));
    cover.show();
    QVERIFY(QTest::qWaitForWindowExposed(&cover));
    // Raised as a pager would: some window managers refuse a raise the
    // window asks for itself while another has the focus.
    cover.raise();
    if (Managed)
        QVERIFY(xdotool({ "windowactivate", QString::number(cover.winId()) }));
    const QRect eyes(oglon.onHead({ 45, 80 }), QSize(1, 1));
    QTRY_VERIFY_WITH_TIMEOUT(isGreen(grab(eyes).pixel(0, 0)), Deadline);
    // On again: the head comes above it.
    QVERIFY(oglon.choose("t"));
    if (Managed)
        QTRY_VERIFY_WITH_TIMEOUT(
            atomNames(head, "_NET_WM_STATE").contains("_NET_WM_STATE_ABOVE"), Deadline);
    QTRY_VERIFY_WITH_TIMEOUT(!isGreen(grab(eyes).pixel(0, 0)), Deadline);
    if (Managed) {
        QVERIFY(xdotool({ "windowactivate", QString::number(cover.winId()) }));
        QTest::qWait(300);
        QVERIFY(!isGreen(grab(eyes).pixel(0, 0)));
    }
}

void TestWindowManagers::comesBackWithItsStates_data()
{
    QTest::addColumn<bool>("minimise");
    QTest::newRow("minimised") << true;
    QTest::newRow("unmapped and mapped by another client") << false;
}

void TestWindowManagers::comesBackWithItsStates()
{
    // The head has no taskbar button to be restored from: whatever another
    // client does to it, it comes back, on top and off the taskbar.
    QFETCH(bool, minimise);
    if (minimise && !Managed)
        QSKIP("nobody minimises without a window manager");
    const Window head = oglon.head();
    // The pupils turned since the head was last painted whole: it comes
    // back showing them where they are, not where they were.
    const QPoint client(300, 20 + 40 * int(minimise));
    QVERIFY(movePointer(clientRect(head).topLeft() + client));
    QString seen;
    QVERIFY2(pupilsReach(head, expectedPupils(client), &seen), qPrintable(seen));
    UnmapCounter unmaps(head);
    if (minimise) {
        QVERIFY(xdotool({ "windowminimize", QString::number(head) }));
    } else {
        xcb_unmap_window(connection(), head);
        free(xcb_get_input_focus_reply(connection(), xcb_get_input_focus(connection()), nullptr));
        xcb_map_window(connection(), head);
    }
    QTRY_VERIFY_WITH_TIMEOUT(unmaps.count() > 0, Deadline);
    // fluxbox takes skip-pager only from a window it maps, not by request.
    QTRY_VERIFY2_WITH_TIMEOUT(isViewable(head)
            && hasStates(head, { "_NET_WM_STATE_SKIP_TASKBAR" }, &seen)
            && (!Managed || isAbove(head)),
        qPrintable(seen), Deadline);
    QVERIFY2(pupilsReach(head, expectedPupils(client), &seen), qPrintable(seen));
}

void TestWindowManagers::backOnScreenAfterShrink()
{
    // Dragged near the bottom right of a 1600x1200 screen, which then shrinks
    // to 800x600: the whole outline comes back onto the screen.
    const Window head = oglon.head();
    const QPoint grip = oglon.onHead({ 40, 100 });
    const QPoint by = QPoint(1450, 1000) - clientRect(head).topLeft();
    QVERIFY(xdotool(warpTo(grip) + QStringList { "mousedown", "1" } + steps(by / 4, 4)));
    QTRY_COMPARE_WITH_TIMEOUT(pointer(), grip + by / 4 * 4, Deadline);
    QVERIFY(xdotool({ "mouseup", "1" }));
    QTRY_VERIFY_WITH_TIMEOUT(clientRect(head).left() > 1300, Deadline);
    for (const QStringList &arguments :
        { QStringList { "--newmode", "small", "0", "800", "0", "0", "0", "600", "0", "0", "0" },
            { "--addmode", "screen", "small" }, { "--output", "screen", "--mode", "small" } })
        QCOMPARE(QProcess::execute("xrandr", arguments), 0);
    const QRect screen(0, 0, 800, 600);
    QTRY_VERIFY2_WITH_TIMEOUT(
        screen.contains(headOutline().boundingRect().translated(clientRect(head).topLeft())),
        qPrintable(
            QStringLiteral("head at %1,%2").arg(clientRect(head).x()).arg(clientRect(head).y())),
        Deadline);
}

void TestWindowManagers::exitEndsCleanly()
{
    QVERIFY(oglon.choose("e"));
    QVERIFY(oglon.process().waitForFinished(Deadline));
    QCOMPARE(oglon.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(oglon.process().exitCode(), 0);
}

QTEST_MAIN(TestWindowManagers)
#include "tst_e2e_wm.moc"

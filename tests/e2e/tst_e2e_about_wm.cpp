// The About box under fvwm on two monitors (fvwm-two-monitors.sh): centred
// by its frame on the monitor that holds the head.
#include "e2e.h"

#include <QtTest>

using namespace e2e;

class TestAboutPlace : public QObject
{
    Q_OBJECT

private slots:
    void centredOnTheHeadsMonitor_data();
    void centredOnTheHeadsMonitor();
};

void TestAboutPlace::centredOnTheHeadsMonitor_data()
{
    QTest::addColumn<QRect>("monitor");
    QTest::newRow("primary") << QRect(0, 0, 1024, 768);
    QTest::newRow("other") << QRect(1024, 0, 1024, 768);
}

void TestAboutPlace::centredOnTheHeadsMonitor()
{
    QFETCH(QRect, monitor);
    Oglon oglon;
    QVERIFY(oglon.start());
    if (monitor.x() > 0) {
        // Dragged by its crown onto the other monitor.
        QVERIFY(movePointer(oglon.onHead({ 45, 12 })));
        QVERIFY(xdotool({ "mousedown", "1" }));
        for (int step = 0; step < 4; ++step)
            QVERIFY(movePointer(pointer() + QPoint(256, 0), true));
        QVERIFY(xdotool({ "mouseup", "1" }));
        QTRY_VERIFY_WITH_TIMEOUT(monitor.contains(clientRect(oglon.head())), Deadline);
    }
    QVERIFY(oglon.choose("a"));
    QList<Window> about;
    QTRY_COMPARE_WITH_TIMEOUT(
        (about = windowsNamed("About Oglon", oglon.pid())).size(), 1, Deadline);
    QTRY_COMPARE_WITH_TIMEOUT(cardinals(about.front(), "_NET_FRAME_EXTENTS").size(), 4, Deadline);
    QVERIFY2(cardinals(about.front(), "_NET_FRAME_EXTENTS")[2] > 0, "no title bar");
    QPoint off;
    const bool centred = QTest::qWaitFor(
        [&] {
            off = frameRect(about.front()).center() - monitor.center();
            return qAbs(off.x()) <= 2 && qAbs(off.y()) <= 2;
        },
        Deadline);
    QVERIFY2(
        centred, qPrintable(QStringLiteral("centre off by (%1,%2)").arg(off.x()).arg(off.y())));
}

QTEST_MAIN(TestAboutPlace)
#include "tst_e2e_about_wm.moc"

// Two monitors side by side (two-monitors.sh splits the screen): the head
// starts centred on the first and its pupils follow the pointer onto the
// second.
#include "e2e.h"

#include <QGuiApplication>
#include <QScreen>
#include <QtTest>
#include <xcb/shape.h>

using namespace e2e;

class TestMonitors : public QObject
{
    Q_OBJECT

private slots:
    void followsOntoTheOtherMonitor();
    void dragOntoADenserMonitor();
};

void TestMonitors::followsOntoTheOtherMonitor()
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    QCOMPARE(screens.size(), 2);
    QCOMPARE(screens[1]->geometry(), QRect(1024, 0, 1024, 768));

    Oglon oglon;
    QVERIFY(oglon.start());
    QCOMPARE(clientRect(oglon.head()), HeadRect); // centred on the primary monitor

    for (const QPoint screen : { QPoint(1800, 100), QPoint(2047, 767), QPoint(1030, 390) }) {
        QVERIFY(movePointer(screen, true));
        QString seen;
        QVERIFY2(pupilsReach(oglon.head(), expectedPupils(screen - HeadRect.topLeft()), &seen),
            qPrintable(seen));
    }
}

void TestMonitors::dragOntoADenserMonitor()
{
    // Dragged onto a monitor of twice the density, the head takes twice the
    // size and shape there, moving with the pointer without a jump.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_SCREEN_SCALE_FACTORS", "1;2");
    Oglon oglon;
    QVERIFY(oglon.start(environment));
    const Window head = oglon.head();
    QCOMPARE(clientRect(head), HeadRect);
    QStringList drag = warpTo(oglon.onHead({ 40, 100 })) + QStringList { "mousedown", "1" };
    for (int i = 0; i < 20; ++i)
        drag += { "mousemove_relative", "--", "40", "0" };
    QVERIFY(xdotool(drag));
    QTRY_COMPARE_WITH_TIMEOUT(clientRect(head),
        QRect(HeadRect.topLeft() + QPoint(800, 0), HeadRect.size() * 2), Deadline);
    QVERIFY(xdotool({ "mouseup", "1" }));
    QTRY_COMPARE_WITH_TIMEOUT(shape(head, XCB_SHAPE_SK_BOUNDING), headOutline(2), Deadline);
    QCOMPARE(shape(head, XCB_SHAPE_SK_INPUT), headOutline(2));
}

QTEST_MAIN(TestMonitors)
#include "tst_e2e_monitors.moc"

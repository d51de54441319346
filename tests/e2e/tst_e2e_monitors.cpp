// Two monitors side by side (two-monitors.sh splits the screen): the head
// starts centred on the first and its pupils follow the pointer onto the
// second.
#include "e2e.h"

#include <QGuiApplication>
#include <QScreen>
#include <QtTest>

using namespace e2e;

class TestMonitors : public QObject
{
    Q_OBJECT

private slots:
    void followsOntoTheOtherMonitor();
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

QTEST_MAIN(TestMonitors)
#include "tst_e2e_monitors.moc"

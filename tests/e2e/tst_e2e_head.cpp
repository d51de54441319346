// The head window as the X server and the window manager see it, and its
// pupils following the pointer around the screen.
#include "e2e.h"

#include <QtTest>

using namespace e2e;

class TestHead : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void window();
    void pupilsRestUntilThePointerMoves();
    void pupilsFollowThePointer_data();
    void pupilsFollowThePointer();

private:
    Oglon oglon;
};

void TestHead::initTestCase()
{
    QVERIFY(movePointer({ 0, 0 }));
    QVERIFY(oglon.start());
}

void TestHead::window()
{
    const Window head = oglon.head();
    QCOMPARE(clientRect(head), HeadRect);
    // No frame: the window manager's window is the client area itself.
    QCOMPARE(frameRect(head), HeadRect);
    QTRY_VERIFY_WITH_TIMEOUT(isAbove(head), Deadline);
    QString state;
    QVERIFY2(hasStates(head, OffTaskbar, &state), qPrintable(state));
}

void TestHead::pupilsRestUntilThePointerMoves()
{
    // The pointer has stayed at (0, 0) since before the start: several ticks
    // later the pupils are still where the picture puts them.
    QString seen;
    QVERIFY2(
        pupilsReach(oglon.head(), { QPoint(25, 77), QPoint(63, 76) }, &seen), qPrintable(seen));
    QVERIFY2(
        pupilsStay(oglon.head(), { QPoint(25, 77), QPoint(63, 76) }, 500, &seen), qPrintable(seen));
}

void TestHead::pupilsFollowThePointer_data()
{
    QTest::addColumn<QPoint>("client"); // the pointer's target, in head pixels
    QTest::addColumn<bool>("motion"); // moved there, or warped
    const QPoint screenEnd
        = QPoint(ScreenSize.width() - 1, ScreenSize.height() - 1) - HeadRect.topLeft();
    const QPoint screenStart = -HeadRect.topLeft();
    QTest::newRow("top right corner") << QPoint(screenEnd.x(), screenStart.y()) << false;
    QTest::newRow("bottom right corner") << screenEnd << true;
    QTest::newRow("bottom left corner") << QPoint(screenStart.x(), screenEnd.y()) << false;
    QTest::newRow("left of the head") << QPoint(-300, 80) << true;
    QTest::newRow("right of the head") << QPoint(400, 82) << false;
    QTest::newRow("above the head") << QPoint(46, -250) << true;
    QTest::newRow("below the head") << QPoint(40, 420) << false;
    QTest::newRow("on the left eye") << QPoint(26, 81) << true;
    QTest::newRow("on the right eye") << QPoint(66, 81) << false;
    QTest::newRow("between the eyes") << QPoint(46, 79) << true;
    QTest::newRow("on the chin") << QPoint(45, 150) << false;
    QTest::newRow("top left corner") << screenStart << true;
}

void TestHead::pupilsFollowThePointer()
{
    QFETCH(QPoint, client);
    QFETCH(bool, motion);
    const QPoint origin = clientRect(oglon.head()).topLeft();
    QCOMPARE(origin, HeadRect.topLeft());
    QVERIFY(movePointer(origin + client, motion));
    QString seen;
    QVERIFY2(pupilsReach(oglon.head(), expectedPupils(client), &seen), qPrintable(seen));
}

QTEST_MAIN(TestHead)
#include "tst_e2e_head.moc"

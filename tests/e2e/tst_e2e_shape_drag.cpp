// The head's shape, as drawn and as it takes input, and dragging it around.
#include "e2e.h"

#include <QMouseEvent>
#include <QWidget>
#include <QtTest>
#include <xcb/shape.h>

using namespace e2e;

namespace {

// A plain window of the test's own that records the presses it gets.
class Beneath : public QWidget
{
public:
    QList<QPoint> presses;

protected:
    void mousePressEvent(QMouseEvent *event) override { presses << event->position().toPoint(); }
};

// Chains relative pointer moves into one xdotool command.
QStringList steps(const QList<QPoint> &moves)
{
    QStringList arguments;
    for (const QPoint &by : moves)
        arguments
            += { "mousemove_relative", "--", QString::number(by.x()), QString::number(by.y()) };
    return arguments;
}

QPoint sum(const QList<QPoint> &moves)
{
    QPoint total;
    for (const QPoint &by : moves)
        total += by;
    return total;
}

} // namespace

class TestShapeDrag : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void shapedToTheOutline_data();
    void shapedToTheOutline();
    void cutAwayPartsLetPressesThrough();
    void dragMovesTheHeadWithThePointer();
    void pupilsRestWhileDragging();
    void dragGoesOnPastTheMenu();

private:
    std::unique_ptr<Oglon> oglon;
};

void TestShapeDrag::init()
{
    oglon = std::make_unique<Oglon>();
    QVERIFY(oglon->start());
    QCOMPARE(clientRect(oglon->head()), HeadRect);
}

void TestShapeDrag::shapedToTheOutline_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("drawn") << int(XCB_SHAPE_SK_BOUNDING);
    QTest::newRow("input") << int(XCB_SHAPE_SK_INPUT);
    // For compositors that ignore the shape: the pixels cut away are
    // transparent, the rest opaque.
    QTest::newRow("opaque pixels") << -1;
}

void TestShapeDrag::shapedToTheOutline()
{
    QFETCH(int, kind);
    const QRegion expected = headOutline();
    const QRegion box(QRect(QPoint(), HeadRect.size()));
    QVERIFY(expected.rectCount() > 1);
    QRegion region;
    // The pixels are there once the window has been painted.
    QTRY_VERIFY2_WITH_TIMEOUT(
        (region = kind < 0 ? opaquePixels(oglon->head()) : shape(oglon->head(), kind)).rectCount()
            > 1,
        "not cut to a shape", Deadline);
    QVERIFY(!region.contains(QPoint(0, 18)));
    QVERIFY(region.contains(QPoint(45, 80)));
    const QRegion differ = (region ^ expected) & box;
    QVERIFY2(differ.isEmpty(),
        qPrintable(QStringLiteral("differs at %1 pixels, e.g. (%2,%3)")
                       .arg(differ.rectCount())
                       .arg(differ.boundingRect().x())
                       .arg(differ.boundingRect().y())));
}

void TestShapeDrag::cutAwayPartsLetPressesThrough()
{
    Beneath beneath;
    beneath.setWindowFlag(Qt::FramelessWindowHint);
    beneath.setGeometry(HeadRect.adjusted(-50, -50, 50, 50));
    beneath.show();
    QVERIFY(QTest::qWaitForWindowExposed(&beneath));
    QTRY_COMPARE_WITH_TIMEOUT(clientRect(Window(beneath.winId())), beneath.geometry(), Deadline);

    // Inside the outline the head takes the press (and starts a drag);
    // just outside it the window beneath gets it.
    const QPoint inside = oglon->onHead({ 45, 60 });
    const QPoint outside = oglon->onHead(QPoint(3, 40) - OutlineOffset);
    for (const QPoint &at : { inside, outside })
        QVERIFY(xdotool(warpTo(at) + QStringList { "click", "1" }));
    QTRY_VERIFY_WITH_TIMEOUT(!beneath.presses.isEmpty(), Deadline);
    QCOMPARE(beneath.presses, QList<QPoint> { outside - beneath.geometry().topLeft() });
    QCOMPARE(clientRect(oglon->head()), HeadRect);
}

void TestShapeDrag::dragMovesTheHeadWithThePointer()
{
    const Window head = oglon->head();
    const QPoint start = clientRect(head).topLeft();
    const QPoint grip = oglon->onHead({ 40, 100 });
    QVERIFY(xdotool(warpTo(grip) + QStringList { "mousedown", "1" }));
    // One step at a time, then a burst of steps in one go.
    const QList<QList<QPoint>> moves { { { 30, 0 } }, { { 0, -25 } }, { { -7, 13 } },
        { { 12, 5 }, { 40, -30 }, { 1, 1 }, { -20, 60 }, { 90, 2 } } };
    QPoint moved;
    for (const QList<QPoint> &group : moves) {
        QVERIFY(xdotool(steps(group)));
        moved += sum(group);
        QTRY_COMPARE_WITH_TIMEOUT(pointer(), grip + moved, Deadline);
        QTRY_COMPARE_WITH_TIMEOUT(clientRect(head).topLeft(), start + moved, Deadline);
    }
    QVERIFY(xdotool({ "mouseup", "1" }));

    // Released, the head stays and the pupils follow the pointer again,
    // looking from the head's new place.
    const QPoint now = start + moved;
    for (const QPoint &to :
        { QPoint(3, 700), QPoint(1000, now.y() + 81), QPoint(now.x() + 46, 10) }) {
        QVERIFY(movePointer(to, true));
        QString seen;
        QVERIFY2(pupilsReach(head, expectedPupils(to - now), &seen), qPrintable(seen));
    }
    QCOMPARE(clientRect(head).topLeft(), now);
}

void TestShapeDrag::pupilsRestWhileDragging()
{
    const Window head = oglon->head();
    const QPoint start = clientRect(head).topLeft();
    const QPoint grip = oglon->onHead({ 40, 100 });
    QVERIFY(movePointer(grip, true));
    QString seen;
    QVERIFY2(pupilsReach(head, expectedPupils({ 40, 100 }), &seen), qPrintable(seen));

    // The head follows the left button alone: with the middle one held as
    // well the pointer runs off across the screen while the head stays.
    // The pupils look neither way until the drag is over.
    QVERIFY(xdotool({ "mousedown", "1", "mousedown", "2" }));
    QVERIFY(xdotool(steps({ { -200, -150 }, { -100, -100 } })));
    QTRY_COMPARE_WITH_TIMEOUT(pointer(), grip - QPoint(300, 250), Deadline);
    QVERIFY2(pupilsStay(head, expectedPupils({ 40, 100 }), 500, &seen), qPrintable(seen));
    QCOMPARE(clientRect(head).topLeft(), start);

    // With the left button alone the head catches up with the pointer.
    QVERIFY(xdotool({ "mouseup", "2" }));
    QVERIFY(xdotool(steps({ { 10, 20 } })));
    const QPoint moved(-290, -230);
    QTRY_COMPARE_WITH_TIMEOUT(clientRect(head).topLeft(), start + moved, Deadline);
    QVERIFY(xdotool({ "mouseup", "1" }));

    const QPoint to(700, 700);
    QVERIFY(movePointer(to));
    QVERIFY2(pupilsReach(head, expectedPupils(to - start - moved), &seen), qPrintable(seen));
}

void TestShapeDrag::dragGoesOnPastTheMenu()
{
    // A right press during a drag opens the menu; once it is closed again
    // the head goes on following the pointer until the left release.
    const Window head = oglon->head();
    const QPoint start = clientRect(head).topLeft();
    QVERIFY(xdotool(warpTo(oglon->onHead({ 40, 100 })) + QStringList { "mousedown", "1" }));
    QVERIFY(xdotool(steps({ { 20, 0 } })));
    QTRY_COMPARE_WITH_TIMEOUT(clientRect(head).topLeft(), start + QPoint(20, 0), Deadline);
    QVERIFY(xdotool({ "mousedown", "3" }));
    QTRY_VERIFY_WITH_TIMEOUT(!popups(oglon->pid()).isEmpty(), Deadline);
    QVERIFY(xdotool({ "mouseup", "3", "key", "Escape" }));
    QTRY_VERIFY_WITH_TIMEOUT(popups(oglon->pid()).isEmpty(), Deadline);
    QVERIFY(xdotool(steps({ { 30, 10 } })));
    QTRY_COMPARE_WITH_TIMEOUT(clientRect(head).topLeft(), start + QPoint(50, 10), Deadline);

    // Released, it stays where it is.
    QVERIFY(xdotool({ "mouseup", "1" }));
    QVERIFY(xdotool(steps({ { 40, 40 } })));
    QString seen;
    const QPoint client = pointer() - (start + QPoint(50, 10));
    QVERIFY2(pupilsReach(head, expectedPupils(client), &seen), qPrintable(seen));
    QCOMPARE(clientRect(head).topLeft(), start + QPoint(50, 10));
}

QTEST_MAIN(TestShapeDrag)
#include "tst_e2e_shape_drag.moc"

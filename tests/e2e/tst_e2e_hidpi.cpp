// At a device pixel ratio of 2 the head is drawn from the detailed artwork:
// twice the size in device pixels, cut to the doubled outline, with the
// pupils where the arithmetic (in logical pixels) puts them, doubled.
#include "e2e.h"

#include <QtTest>
#include <xcb/shape.h>

using namespace e2e;

namespace {

constexpr int Ratio = 2;

QRegion doubled(const QRegion &region)
{
    QRegion result;
    for (const QRect &r : region)
        result += QRect(r.topLeft() * Ratio, r.size() * Ratio);
    return result;
}

} // namespace

class TestHiDpi : public QObject
{
    Q_OBJECT

private slots:
    void sharpAtTwice();
};

void TestHiDpi::sharpAtTwice()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_SCALE_FACTOR", QString::number(Ratio));
    Oglon oglon;
    QVERIFY(oglon.start(environment));
    const Window head = oglon.head();
    const QRect place = clientRect(head);
    QCOMPARE(place.size(), HeadRect.size() * Ratio);
    QVERIFY(
        (place.center() - QRect(QPoint(0, 0), ScreenSize).center()).manhattanLength() <= 2 * Ratio);
    QCOMPARE(shape(head, XCB_SHAPE_SK_BOUNDING), doubled(headOutline()));
    QCOMPARE(shape(head, XCB_SHAPE_SK_INPUT), doubled(headOutline()));

    for (const QPoint logical : { QPoint(300, 81), QPoint(-150, -100), QPoint(46, 250) }) {
        QVERIFY(movePointer(place.topLeft() + logical * Ratio));
        QString seen;
        QVERIFY2(pupilsReach(head, expectedPupils(logical), &seen, Ratio), qPrintable(seen));
    }
}

QTEST_MAIN(TestHiDpi)
#include "tst_e2e_hidpi.moc"

#include "desktop/desktop.h"
#include "head/outline.h"

#include <QtTest>
#include <set>

namespace {

OutlinePolygon loaded()
{
    OutlinePolygon outline {};
    LoadOutline(outline);
    return outline;
}

long long cross(POINT o, POINT a, POINT b)
{
    return (long long)(a.x - o.x) * (b.y - o.y) - (long long)(a.y - o.y) * (b.x - o.x);
}

bool onSegment(POINT a, POINT b, POINT p)
{
    return std::min(a.x, b.x) <= p.x && p.x <= std::max(a.x, b.x) && std::min(a.y, b.y) <= p.y
        && p.y <= std::max(a.y, b.y);
}

bool segmentsMeet(POINT a, POINT b, POINT c, POINT d)
{
    const long long d1 = cross(c, d, a), d2 = cross(c, d, b), d3 = cross(a, b, c),
                    d4 = cross(a, b, d);
    if (((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) && ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0)))
        return true;
    return (d1 == 0 && onSegment(c, d, a)) || (d2 == 0 && onSegment(c, d, b))
        || (d3 == 0 && onSegment(a, b, c)) || (d4 == 0 && onSegment(a, b, d));
}

} // namespace

class TestOutline : public QObject
{
    Q_OBJECT

private slots:
    void closedWithDistinctVertices();
    void doesNotCrossItself();
    void runsClockwiseOnScreen();
    void extent();
    void regionCutsTheGroundAway_data();
    void regionCutsTheGroundAway();
};

void TestOutline::closedWithDistinctVertices()
{
    const OutlinePolygon outline = loaded();
    QCOMPARE(int(outline.size()), 43);
    QCOMPARE(outline.front(), outline.back());
    QCOMPARE(outline.front(), (POINT { 5, 127 }));
    std::set<std::pair<int, int>> distinct;
    for (int i = 0; i < 42; ++i)
        distinct.insert({ outline[i].x, outline[i].y });
    QCOMPARE(int(distinct.size()), 42);
}

void TestOutline::doesNotCrossItself()
{
    const OutlinePolygon outline = loaded();
    const int edges = 42;
    for (int i = 0; i < edges; ++i) {
        for (int j = i + 1; j < edges; ++j) {
            const bool adjacent = j == i + 1 || (i == 0 && j == edges - 1);
            if (adjacent)
                continue;
            QVERIFY2(!segmentsMeet(outline[i], outline[i + 1], outline[j], outline[j + 1]),
                qPrintable(QStringLiteral("edges %1 and %2").arg(i + 1).arg(j + 1)));
        }
    }
}

void TestOutline::runsClockwiseOnScreen()
{
    // With y growing downward, a positive shoelace sum is clockwise on screen.
    const OutlinePolygon outline = loaded();
    long long twiceArea = 0;
    for (int i = 0; i < 42; ++i)
        twiceArea += (long long)outline[i].x * outline[i + 1].y
            - (long long)outline[i + 1].x * outline[i].y;
    QVERIFY(twiceArea > 0);
    // Up the left side first: from (5, 127) to (4, 81), then on to the crown.
    QVERIFY(outline[7].y < outline[0].y && outline[7].x == 4);
}

void TestOutline::extent()
{
    int minX = INT_MAX, maxX = INT_MIN, minY = INT_MAX, maxY = INT_MIN;
    for (const POINT &p : loaded()) {
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
    QCOMPARE(minX, 4);
    QCOMPARE(maxX, 92);
    QCOMPARE(minY, 23);
    QCOMPARE(maxY, 177);
}

void TestOutline::regionCutsTheGroundAway_data()
{
    QTest::addColumn<QPoint>("client");
    QTest::addColumn<bool>("inside");
    QTest::newRow("left of the temple") << QPoint(0, 18) << false;
    QTest::newRow("top-left corner") << QPoint(0, 0) << false;
    QTest::newRow("bottom-right corner") << QPoint(90, 158) << false;
    QTest::newRow("below the chin") << QPoint(45, 157) << false;
    QTest::newRow("forehead") << QPoint(45, 20) << true;
    QTest::newRow("left eye") << QPoint(26, 81) << true;
    QTest::newRow("right eye") << QPoint(66, 81) << true;
    QTest::newRow("chin") << QPoint(45, 150) << true;
}

void TestOutline::regionCutsTheGroundAway()
{
    QFETCH(QPoint, client);
    QFETCH(bool, inside);
    const OutlinePolygon outline = loaded();
    const QRegion region = CreatePolygonRgn(outline.data(), OutlineVertexCount, 0)
                               .translated(-OutlineClientOffset.x, -OutlineClientOffset.y);
    QCOMPARE(region.contains(client), inside);
    QVERIFY(QRect(0, 0, 91, 159).contains(region.boundingRect()));
}

QTEST_APPLESS_MAIN(TestOutline)
#include "tst_outline.moc"

// At any device pixel ratio the head is cut to its outline scaled to device
// pixels, drawn and taking input alike. At 2 it is drawn from the detailed
// artwork, with the pupils where the arithmetic (in logical pixels) puts
// them, doubled.
#include "e2e.h"

#include <QtTest>
#include <xcb/shape.h>

using namespace e2e;

namespace {

constexpr int Ratio = 2;

} // namespace

class TestHiDpi : public QObject
{
    Q_OBJECT

private slots:
    void shapedAtEveryScale_data();
    void shapedAtEveryScale();
    void sharpAtTwice();
};

void TestHiDpi::shapedAtEveryScale_data()
{
    QTest::addColumn<QString>("scale"); // QT_SCALE_FACTOR, or empty
    QTest::addColumn<int>("dpi"); // Xft.dpi, or 0
    QTest::addColumn<qreal>("ratio");
    QTest::addColumn<bool>("pressed"); // right presses across the head too
    QTest::newRow("1.25") << "1.25" << 0 << 1.25 << true;
    QTest::newRow("1.5") << "1.5" << 0 << 1.5 << false;
    QTest::newRow("Xft.dpi 144") << QString() << 144 << 1.5 << false;
    QTest::newRow("2") << "2" << 0 << 2.0 << false;
}

void TestHiDpi::shapedAtEveryScale()
{
    QFETCH(QString, scale);
    QFETCH(int, dpi);
    QFETCH(qreal, ratio);
    QFETCH(bool, pressed);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!scale.isEmpty())
        environment.insert("QT_SCALE_FACTOR", scale);
    QProcess xrdb;
    xrdb.start("xrdb", { "-load", "-" });
    xrdb.write(dpi ? QStringLiteral("Xft.dpi: %1\n").arg(dpi).toLatin1() : QByteArray());
    xrdb.closeWriteChannel();
    QVERIFY(xrdb.waitForFinished() && xrdb.exitCode() == 0);
    Oglon oglon;
    QVERIFY(oglon.start(environment));
    const Window head = oglon.head();
    const QRegion expected = headOutline(ratio);
    QCOMPARE(shape(head, XCB_SHAPE_SK_BOUNDING), expected);
    QCOMPARE(shape(head, XCB_SHAPE_SK_INPUT), expected);
    QTRY_COMPARE_WITH_TIMEOUT(opaquePixels(head), expected, Deadline);
    // On every fourth row, a right press just left of the outline opens no
    // menu and one on its edge does. Each press waits for the last menu to
    // close: presses in a quick chain get lost.
    const QRect bounds = expected.boundingRect();
    for (int y = bounds.top(); pressed && y <= bounds.bottom(); y += 4) {
        const QRect row = (expected & QRect(bounds.left(), y, bounds.width(), 1)).boundingRect();
        QVERIFY(
            xdotool(warpTo(oglon.onHead({ row.left() - 1, y })) + QStringList { "click", "3" }));
        QVERIFY2(oglon.openMenu({ row.left(), y }), qPrintable(QStringLiteral("row %1").arg(y)));
        QVERIFY(xdotool({ "key", "Escape" }));
        QTRY_VERIFY_WITH_TIMEOUT(popups(oglon.pid()).isEmpty(), Deadline);
    }
}

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

    for (const QPoint logical : { QPoint(300, 81), QPoint(-150, -100), QPoint(46, 250) }) {
        QVERIFY(movePointer(place.topLeft() + logical * Ratio));
        QString seen;
        QVERIFY2(pupilsReach(head, expectedPupils(logical), &seen, Ratio), qPrintable(seen));
    }
}

QTEST_MAIN(TestHiDpi)
#include "tst_e2e_hidpi.moc"

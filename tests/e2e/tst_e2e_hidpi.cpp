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

// The top-left of the dark red dot within an eye of a device-pixel
// screenshot, if there is exactly one dot of the detailed pupil's size.
std::optional<QPoint> findDetailedPupil(const QImage &head, int eye)
{
    const QPoint centre = QPoint(eye ? 66 : 26, 81) * Ratio;
    QRect box;
    for (int y = centre.y() - 24; y <= centre.y() + 24; ++y)
        for (int x = centre.x() - 24; x <= centre.x() + 24; ++x) {
            const QRgb c = head.pixel(x, y);
            if (qRed(c) >= 96 && qRed(c) - qGreen(c) >= 64 && qRed(c) - qBlue(c) >= 64)
                box |= QRect(x, y, 1, 1);
        }
    // 10 x 12, its two bottom rows transparent.
    if (box.width() != 5 * Ratio || box.height() != 5 * Ratio)
        return std::nullopt;
    return box.topLeft();
}

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
    QTest::newRow("1.25") << "1.25" << 0 << 1.25;
    QTest::newRow("1.5") << "1.5" << 0 << 1.5;
    QTest::newRow("Xft.dpi 144") << QString() << 144 << 1.5;
    QTest::newRow("2") << "2" << 0 << 2.0;
}

void TestHiDpi::shapedAtEveryScale()
{
    QFETCH(QString, scale);
    QFETCH(int, dpi);
    QFETCH(qreal, ratio);
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
}

void TestHiDpi::sharpAtTwice()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_SCALE_FACTOR", QString::number(Ratio));
    Oglon oglon;
    QVERIFY(oglon.start(environment));
    const Window head = oglon.head();
    const QRect place = clientRect(head);
    QCOMPARE(place.size(), QSize(91, 159) * Ratio);
    QVERIFY(
        (place.center() - QRect(QPoint(0, 0), ScreenSize).center()).manhattanLength() <= 2 * Ratio);

    for (const QPoint logical : { QPoint(300, 81), QPoint(-150, -100), QPoint(46, 250) }) {
        QVERIFY(movePointer(place.topLeft() + logical * Ratio));
        const std::array<QPoint, 2> expected = expectedPupils(logical);
        QString seen;
        const bool reached = QTest::qWaitFor(
            [&] {
                const QImage shot = grab(place);
                bool near = true;
                seen.clear();
                for (int eye = 0; eye < 2; ++eye) {
                    const auto found = findDetailedPupil(shot, eye);
                    near = near && found
                        && (*found - expected[eye] * Ratio).manhattanLength() <= Ratio;
                    seen += found ? QStringLiteral("(%1,%2) ").arg(found->x()).arg(found->y())
                                  : QStringLiteral("none ");
                }
                return near;
            },
            Deadline);
        QVERIFY2(reached,
            qPrintable(seen
                + QStringLiteral("expected (%1,%2) (%3,%4)")
                      .arg(expected[0].x() * Ratio)
                      .arg(expected[0].y() * Ratio)
                      .arg(expected[1].x() * Ratio)
                      .arg(expected[1].y() * Ratio)));
    }
}

QTEST_MAIN(TestHiDpi)
#include "tst_e2e_hidpi.moc"

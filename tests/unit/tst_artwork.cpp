// Checks the generated artwork in assets/ (see assets/draw_artwork.py): file
// formats the program relies on, the head's silhouette against the window
// outline, eye whites under every pupil position, cursor and icons.

#include "head/geometry.h"
#include "head/picture.h"

#include <QtTest>

#include <QByteArray>
#include <QFile>
#include <QHash>
#include <QImage>
#include <QImageReader>
#include <QLineF>
#include <QPainter>
#include <QPolygonF>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

QString assetPath(const QString &name)
{
    return QStringLiteral(OGLON_ASSETS_DIR "/") + name;
}

// The head's geometry as the program has it; the committed pictures must
// agree with it.
QPoint point(POINT p)
{
    return { p.x, p.y };
}
const QSize kHeadSize(HeadPictureSize.width, HeadPictureSize.height);
const QSize kPupilSize(PupilPictureSize.width, PupilPictureSize.height);
const double kPi = 3.14159265358979323846;

QPolygonF pictureOutline(int scale)
{
    QPolygonF poly;
    for (const POINT &p : OutlineVertices)
        poly << QPointF((point(p) - point(OutlineClientOffset)) * scale);
    return poly;
}

// The ground around the head is exactly black; the head never is.
bool isGround(QRgb p)
{
    return (p & 0x00ffffff) == 0;
}

// Eye whites are the only pixels with R, G and B all >= 200 (skin stays
// below that in at least one channel).
bool isEyeWhite(QRgb p)
{
    return qRed(p) >= 200 && qGreen(p) >= 200 && qBlue(p) >= 200;
}

const QImage &loadImage(const QString &name)
{
    static QHash<QString, QImage> cache;
    auto it = cache.find(name);
    if (it == cache.end())
        it = cache.insert(name, QImage(assetPath(name)));
    return *it;
}

struct GifInfo
{
    bool valid = false;
    QByteArray signature;
    int width = 0;
    int height = 0;
    int globalColours = 0; // 0: no global colour table
    bool interlaced = false; // of the first image
    int transparentIndex = -1; // -1: no transparent colour
};

// Header, global colour table and the blocks up to the first image descriptor.
GifInfo parseGif(const QByteArray &d)
{
    GifInfo info;
    const auto byte = [&d](int i) { return static_cast<quint8>(d.at(i)); };
    if (d.size() < 13)
        return info;
    info.signature = d.left(6);
    info.width = byte(6) | byte(7) << 8;
    info.height = byte(8) | byte(9) << 8;
    const quint8 screenFlags = byte(10);
    if (screenFlags & 0x80)
        info.globalColours = 2 << (screenFlags & 7);
    int i = 13 + 3 * info.globalColours;
    while (i < d.size()) {
        if (byte(i) == 0x2c) { // image descriptor
            if (i + 9 >= d.size())
                return info;
            info.interlaced = byte(i + 9) & 0x40;
            info.valid = true;
            return info;
        }
        if (byte(i) != 0x21 || i + 2 >= d.size())
            return info;
        const quint8 label = byte(i + 1);
        if (label == 0xf9 && i + 6 < d.size() && byte(i + 2) == 4 && (byte(i + 3) & 1))
            info.transparentIndex = byte(i + 6);
        i += 2;
        while (i < d.size() && byte(i) != 0) // data sub-blocks
            i += byte(i) + 1;
        ++i;
    }
    return info;
}

double distanceToSegment(const QPointF &p, const QPointF &a, const QPointF &b)
{
    const QPointF ab = b - a;
    const double len2 = QPointF::dotProduct(ab, ab);
    const double t = len2 > 0 ? std::clamp(QPointF::dotProduct(p - a, ab) / len2, 0.0, 1.0) : 0.0;
    return QLineF(p, a + t * ab).length();
}

double distanceToOutline(const QPointF &p, const QPolygonF &poly)
{
    double best = std::numeric_limits<double>::max();
    for (int i = 0; i + 1 < poly.size(); ++i)
        best = std::min(best, distanceToSegment(p, poly.at(i), poly.at(i + 1)));
    return best;
}

enum class Rounding { Floor, Round };

int roundPosition(double v, Rounding r)
{
    return r == Rounding::Floor ? int(std::floor(v)) : qRound(v);
}

} // namespace

class TestArtwork : public QObject
{
    Q_OBJECT

private slots:
    void gifHeaders_data();
    void gifHeaders();
    void pupilShape_data();
    void pupilShape();
    void outlineVerticesOnHeadEdge_data();
    void outlineVerticesOnHeadEdge();
    void silhouetteFollowsOutline_data();
    void silhouetteFollowsOutline();
    void eyeWhitesCoverPupils_data();
    void eyeWhitesCoverPupils();
    void eyeWhitesOnlyAroundEyes_data();
    void eyeWhitesOnlyAroundEyes();
    void pupilDrawnAsQtDrawsIt_data();
    void pupilDrawnAsQtDrawsIt();
    void handCursor();
    void icons_data();
    void icons();
    void windowsIcon();
};

void TestArtwork::gifHeaders_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("colours");
    QTest::addColumn<bool>("interlaced");
    QTest::addColumn<int>("transparentIndex");

    const QSize head = kHeadSize;
    const QSize pupil = kPupilSize;
    QTest::newRow("head") << "head.gif" << head.width() << head.height() << 256 << true << -1;
    QTest::newRow("head@2x") << "head@2x.gif" << 2 * head.width() << 2 * head.height() << 256
                             << true << -1;
    QTest::newRow("pupil") << "pupil.gif" << pupil.width() << pupil.height() << 32 << false << 22;
    QTest::newRow("pupil@2x") << "pupil@2x.gif" << 2 * pupil.width() << 2 * pupil.height() << 32
                              << false << 22;
}

void TestArtwork::gifHeaders()
{
    QFETCH(QString, file);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, colours);
    QFETCH(bool, interlaced);
    QFETCH(int, transparentIndex);

    QFile f(assetPath(file));
    QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(f.fileName()));
    const GifInfo gif = parseGif(f.readAll());
    QVERIFY(gif.valid);
    QCOMPARE(gif.signature, QByteArray("GIF89a"));
    QCOMPARE(gif.width, width);
    QCOMPARE(gif.height, height);
    QCOMPARE(gif.globalColours, colours);
    if (interlaced) // tiny pictures may go either way
        QVERIFY(gif.interlaced);
    QCOMPARE(gif.transparentIndex, transparentIndex);

    const QImage &img = loadImage(file);
    QCOMPARE(img.size(), QSize(width, height));
}

void TestArtwork::pupilShape_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("scale");

    QTest::newRow("pupil") << "pupil.gif" << 1;
    QTest::newRow("pupil@2x") << "pupil@2x.gif" << 2;
}

// A round dark-red dot in the top square; corners and the bottom row(s) clear.
void TestArtwork::pupilShape()
{
    QFETCH(QString, file);
    QFETCH(int, scale);

    const QImage &img = loadImage(file);
    QCOMPARE(img.size(), kPupilSize * scale);
    const int w = img.width();
    const int h = img.height();
    const int dot = h - scale; // rows of the dot
    const auto clear = [&img](int x, int y) { return qAlpha(img.pixel(x, y)) == 0; };

    for (int y = dot; y < h; ++y)
        for (int x = 0; x < w; ++x)
            QVERIFY2(
                clear(x, y), qPrintable(QStringLiteral("bottom row pixel %1,%2").arg(x).arg(y)));
    QVERIFY(clear(0, 0));
    QVERIFY(clear(w - 1, 0));
    QVERIFY(clear(0, dot - 1));
    QVERIFY(clear(w - 1, dot - 1));

    int opaque = 0;
    for (int y = 0; y < dot; ++y) {
        for (int x = 0; x < w; ++x) {
            const QRgb p = img.pixel(x, y);
            const QString where = QStringLiteral("pixel %1,%2").arg(x).arg(y);
            QVERIFY2(qAlpha(p) == 0 || qAlpha(p) == 255, qPrintable(where));
            QCOMPARE(clear(x, y), clear(w - 1 - x, y)); // round: mirror images
            QCOMPARE(clear(x, y), clear(x, dot - 1 - y));
            const bool middle
                = (x == w / 2 || x == (w - 1) / 2 || y == dot / 2 || y == (dot - 1) / 2);
            if (middle)
                QVERIFY2(!clear(x, y), qPrintable(where));
            if (!clear(x, y)) {
                ++opaque;
                QVERIFY2(qRed(p) < 220 && qRed(p) > qGreen(p) + 40 && qRed(p) > qBlue(p) + 40,
                    qPrintable(where + QStringLiteral(" is not dark red")));
            }
        }
    }
    if (scale == 1)
        QCOMPARE(opaque, 5 * 5 - 4);
    else
        QVERIFY(opaque > dot * w * 3 / 4);
}

void TestArtwork::outlineVerticesOnHeadEdge_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("scale");
    QTest::addColumn<int>("tolerance");
    QTest::addColumn<QPoint>("vertex");

    for (int scale : { 1, 2 }) {
        const QString file
            = scale == 1 ? QStringLiteral("head.gif") : QStringLiteral("head@2x.gif");
        const QPolygonF outline = pictureOutline(scale);
        for (int i = 0; i < outline.size(); ++i) {
            const QPoint v = outline.at(i).toPoint();
            QTest::addRow("%s #%d (%d,%d)", qPrintable(file), i, v.x(), v.y())
                << file << scale << scale << v;
        }
    }
}

// Every outline vertex has both ground and head within `tolerance` pixels.
void TestArtwork::outlineVerticesOnHeadEdge()
{
    QFETCH(QString, file);
    QFETCH(int, tolerance);
    QFETCH(QPoint, vertex);

    const QImage &img = loadImage(file);
    QVERIFY(!img.isNull());
    bool ground = false;
    bool head = false;
    for (int y = vertex.y() - tolerance; y <= vertex.y() + tolerance; ++y) {
        for (int x = vertex.x() - tolerance; x <= vertex.x() + tolerance; ++x) {
            if (!img.valid(x, y))
                continue;
            (isGround(img.pixel(x, y)) ? ground : head) = true;
        }
    }
    QVERIFY2(ground, "no ground next to the vertex");
    QVERIFY2(head, "no head next to the vertex");
}

void TestArtwork::silhouetteFollowsOutline_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("scale");

    QTest::newRow("head") << "head.gif" << 1;
    QTest::newRow("head@2x") << "head@2x.gif" << 2;
}

// Away from the outline, pixels inside are head and pixels outside are ground.
void TestArtwork::silhouetteFollowsOutline()
{
    QFETCH(QString, file);
    QFETCH(int, scale);

    const QImage &img = loadImage(file);
    QVERIFY(!img.isNull());
    const QPolygonF outline = pictureOutline(scale);
    const double margin = 1.5 * scale;
    int head = 0;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            const QPointF p(x, y);
            if (distanceToOutline(p, outline) <= margin)
                continue;
            const bool inside = outline.containsPoint(p, Qt::OddEvenFill);
            const bool ground = isGround(img.pixel(x, y));
            QVERIFY2(inside != ground,
                qPrintable(QStringLiteral("pixel %1,%2 is %3")
                               .arg(x)
                               .arg(y)
                               .arg(ground ? "ground" : "head")));
            head += inside;
        }
    }
    QVERIFY(head > img.width() * img.height() / 2);
}

void TestArtwork::eyeWhitesCoverPupils_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("scale");
    QTest::addColumn<Rounding>("rounding");

    QTest::newRow("head floor") << "head.gif" << 1 << Rounding::Floor;
    QTest::newRow("head round") << "head.gif" << 1 << Rounding::Round;
    QTest::newRow("head@2x floor") << "head@2x.gif" << 2 << Rounding::Floor;
    QTest::newRow("head@2x round") << "head@2x.gif" << 2 << Rounding::Round;
}

// Wherever a pupil can be drawn, at rest or turned, every pixel under it is
// eye white.
void TestArtwork::eyeWhitesCoverPupils()
{
    QFETCH(QString, file);
    QFETCH(int, scale);
    QFETCH(Rounding, rounding);

    const QImage &img = loadImage(file);
    QVERIFY(!img.isNull());
    const QSize pupil = kPupilSize * scale;
    for (int eye = 0; eye < 2; ++eye) {
        const EyeInfo &socket = EyeSockets[size_t(eye)];
        QList<QPointF> places { point(PupilRest[size_t(eye)]) }; // top-left corners
        for (int step = -1; step < 720; ++step) { // -1: looking straight ahead
            const double a = step * kPi / 360.0;
            const double ux = step < 0 ? 0.0 : std::cos(a);
            const double uy = step < 0 ? 0.0 : std::sin(a);
            places << QPointF(socket.CenterX + socket.RangeX * ux - kPupilSize.width() / 2.0,
                socket.CenterY + socket.RangeY * uy - kPupilSize.height() / 2.0);
        }
        for (const QPointF &place : places) {
            const int x0 = roundPosition(place.x() * scale, rounding);
            const int y0 = roundPosition(place.y() * scale, rounding);
            for (int y = y0; y < y0 + pupil.height(); ++y) {
                for (int x = x0; x < x0 + pupil.width(); ++x) {
                    QVERIFY2(img.valid(x, y) && isEyeWhite(img.pixel(x, y)),
                        qPrintable(QStringLiteral("eye %1, pupil at (%2,%3): pixel %4,%5")
                                       .arg(eye)
                                       .arg(place.x())
                                       .arg(place.y())
                                       .arg(x)
                                       .arg(y)));
                }
            }
        }
    }
}

void TestArtwork::eyeWhitesOnlyAroundEyes_data()
{
    silhouetteFollowsOutline_data();
}

// Nothing else in the face is as light as the eye whites.
void TestArtwork::eyeWhitesOnlyAroundEyes()
{
    QFETCH(QString, file);
    QFETCH(int, scale);

    const QImage &img = loadImage(file);
    QVERIFY(!img.isNull());
    int whites = 0;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            if (!isEyeWhite(img.pixel(x, y)))
                continue;
            ++whites;
            bool nearEye = false;
            for (const EyeInfo &eye : EyeSockets) {
                const QPointF d = QPointF(x, y) / scale - QPointF(eye.CenterX, eye.CenterY);
                nearEye |= std::abs(d.x()) <= 13 && std::abs(d.y()) <= 11;
            }
            QVERIFY2(nearEye, qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
        }
    }
    QVERIFY(whites > 0);
}

void TestArtwork::pupilDrawnAsQtDrawsIt_data()
{
    QTest::addColumn<int>("scale");
    QTest::addColumn<QPoint>("at"); // the pupil's top-left on the head
    QTest::addColumn<QRect>("area");
    QTest::addColumn<int>("opacity");
    QTest::addColumn<QRect>("cleared"); // made transparent on the head first
    QTest::newRow("inside") << 1 << QPoint(26, 78) << QRect(24, 76, 9, 10) << 255 << QRect();
    QTest::newRow("cut at the top left")
        << 1 << QPoint(24, 76) << QRect(26, 78, 8, 8) << 255 << QRect();
    QTest::newRow("cut at the bottom right")
        << 1 << QPoint(64, 80) << QRect(60, 76, 6, 6) << 255 << QRect();
    QTest::newRow("@2x, half seen through")
        << 2 << QPoint(52, 156) << QRect(50, 152, 16, 18) << 128 << QRect();
    QTest::newRow("half seen through, over a transparent part")
        << 1 << QPoint(26, 78) << QRect(24, 76, 9, 10) << 128 << QRect(24, 76, 5, 10);
}

// The pixels put straight on the window are those QPainter would have put
// in the window's stored copy.
void TestArtwork::pupilDrawnAsQtDrawsIt()
{
    QFETCH(int, scale);
    QFETCH(QPoint, at);
    QFETCH(QRect, area);
    QFETCH(int, opacity);
    QFETCH(QRect, cleared);
    const QString suffix = scale == 2 ? QStringLiteral("@2x.gif") : QStringLiteral(".gif");
    // In device pixels, as the window has them.
    QImage head = loadImage("head" + suffix).convertToFormat(QImage::Format_RGB32);
    head.setDevicePixelRatio(1);
    if (!cleared.isEmpty()) {
        head.convertTo(QImage::Format_ARGB32_Premultiplied);
        QPainter painter(&head);
        painter.setCompositionMode(QPainter::CompositionMode_Clear);
        painter.fillRect(cleared, Qt::transparent);
    }
    QImage pupil = loadImage("pupil" + suffix).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    pupil.setDevicePixelRatio(1);
    if (opacity < 255) {
        QImage faded(pupil.size(), QImage::Format_ARGB32_Premultiplied);
        faded.fill(Qt::transparent);
        QPainter painter(&faded);
        painter.setOpacity(opacity / 255.0);
        painter.drawImage(0, 0, pupil);
        painter.end();
        pupil = faded;
    }
    QImage painted = head;
    QPainter(&painted).drawImage(at, pupil);
    QCOMPARE(ComposeArea(head, area, { { pupil, at } }), painted.copy(area));
}

void TestArtwork::handCursor()
{
    const QImage img
        = loadImage(QStringLiteral("hand-cursor.png")).convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(img.size(), QSize(32, 32));
    int black = 0;
    int white = 0;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            const QRgb p = img.pixel(x, y);
            if (qAlpha(p) == 0)
                continue;
            QVERIFY2(y > 0, qPrintable(QStringLiteral("row 0 pixel %1 is opaque").arg(x)));
            if (p == qRgba(0, 0, 0, 255))
                ++black;
            else if (p == qRgba(255, 255, 255, 255))
                ++white;
            else
                QFAIL(qPrintable(QStringLiteral("pixel %1,%2 is %3").arg(x).arg(y).arg(p, 8, 16)));
        }
    }
    QVERIFY(black > 0);
    QVERIFY(white > 0);

    // Hot spot: the finger tip's topmost pixel.
    int tip = -1;
    for (int y = 0; y < img.height() && tip < 0; ++y)
        if (qAlpha(img.pixel(5, y)) != 0)
            tip = y;
    QCOMPARE(tip, 1);
}

void TestArtwork::icons_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("paletted");

    QTest::newRow("icon.png") << "icon.png" << 32 << true;
    QTest::newRow("icon@2x.png") << "icon@2x.png" << 64 << false;
    for (int n : { 16, 22, 24, 32, 48, 64, 128, 256 }) {
        const QString file = QStringLiteral("icons/hicolor/%1x%1/apps/oglon.png").arg(n);
        QTest::addRow("hicolor %dx%d", n, n) << file << n << false;
    }
}

// Square, transparent around a head that fills the height and sits centred.
void TestArtwork::icons()
{
    QFETCH(QString, file);
    QFETCH(int, size);
    QFETCH(bool, paletted);

    const QImage img = QImage(assetPath(file)).convertToFormat(QImage::Format_ARGB32);
    QVERIFY2(!img.isNull(), qPrintable(file));
    QCOMPARE(img.size(), QSize(size, size));

    int top = size, bottom = -1, left = size, right = -1;
    QSet<QRgb> colours;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const QRgb p = img.pixel(x, y);
            colours.insert(p);
            if (qAlpha(p) < 128)
                continue;
            top = std::min(top, y);
            bottom = std::max(bottom, y);
            left = std::min(left, x);
            right = std::max(right, x);
        }
    }
    QCOMPARE(qAlpha(img.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(img.pixel(size - 1, size - 1)), 0);
    QCOMPARE(qAlpha(img.pixel(size / 2, size / 2)), 255);
    QVERIFY2(top <= 1 && bottom >= size - 2,
        qPrintable(QStringLiteral("rows %1..%2").arg(top).arg(bottom)));
    QVERIFY2(std::abs(left - (size - 1 - right)) <= 1,
        qPrintable(QStringLiteral("columns %1..%2").arg(left).arg(right)));
    QVERIFY2(right - left < bottom - top, "the head is taller than wide");
    if (paletted)
        QVERIFY(colours.size() <= 256);
}

void TestArtwork::windowsIcon()
{
    QImageReader reader(assetPath(QStringLiteral("oglon.ico")));
    QVERIFY2(reader.canRead(), qPrintable(reader.errorString()));
    QCOMPARE(reader.imageCount(), 3);
    QList<int> sizes;
    for (int i = 0; i < reader.imageCount(); ++i) {
        QVERIFY(reader.jumpToImage(i));
        const QImage img = reader.read();
        QVERIFY2(!img.isNull(), qPrintable(reader.errorString()));
        QCOMPARE(img.width(), img.height());
        QCOMPARE(qAlpha(img.pixel(0, 0)), 0);
        QVERIFY(qAlpha(img.pixel(img.width() / 2, img.height() / 2)) > 0);
        sizes << img.width();
    }
    std::sort(sizes.begin(), sizes.end());
    QCOMPARE(sizes, QList<int>({ 16, 32, 48 }));
}

QTEST_MAIN(TestArtwork)
#include "tst_artwork.moc"

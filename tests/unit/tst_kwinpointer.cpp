#include "pointer/cursorsession.h"
#include "pointer/gnomeoffer.h"
#include "pointer/gnomepointer.h"
#include "pointer/kwinpointer.h"
#include "pointer/sessionpointer.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QtTest>

#ifdef OGLON_CURSOR_SESSION
Q_DECLARE_METATYPE(OutputLayout)
#endif

class TestKWinPointer : public QObject
{
    Q_OBJECT

private slots:
    void mapping_data();
    void mapping();
    void notTheHead_data();
    void notTheHead();
#ifdef OGLON_CURSOR_SESSION
    void cursorSession_data();
    void cursorSession();
#endif
    void sourceChoice_data();
    void sourceChoice();
    void gnomeExtension_data();
    void gnomeExtension();
    void enabledExtensions_data();
    void enabledExtensions();
    void javaScriptString_data();
    void javaScriptString();
    void privateFile();
};

// The head is 91 x 159 program pixels; KWin gives its frame in its own
// logical pixels, which differ from the program's where XWayland or Qt scales.
void TestKWinPointer::mapping_data()
{
    QTest::addColumn<QPointF>("pointer");
    QTest::addColumn<QRectF>("frame");
    QTest::addColumn<QPoint>("screen");
    QTest::addColumn<QPoint>("client");
    QTest::newRow("scale 1") << QPointF(500, 400) << QRectF(466, 304, 91, 159) << QPoint(500, 400)
                             << QPoint(34, 96);
    QTest::newRow("left of and above the head")
        << QPointF(10.5, 20) << QRectF(466, 304, 91, 159) << QPoint(10, 20) << QPoint(-456, -284);
    QTest::newRow("scale 2, X11 drawn at 1 and enlarged by KWin")
        << QPointF(300, 200) << QRectF(200, 100, 91, 159) << QPoint(300, 200) << QPoint(100, 100);
    QTest::newRow("scale 2, XWayland scaling, program at ratio 1")
        << QPointF(100.5, 50) << QRectF(80, 40, 45.5, 79.5) << QPoint(201, 100) << QPoint(41, 20);
    QTest::newRow("scale 2, XWayland scaling, program at ratio 2")
        << QPointF(100.5, 50) << QRectF(80, 40, 91, 159) << QPoint(100, 50) << QPoint(20, 10);
    QTest::newRow("scale 1, program at ratio 2")
        << QPointF(400, 300) << QRectF(100, 100, 182, 318) << QPoint(200, 150) << QPoint(150, 100);
    QTest::newRow("scale 1.25, frame rounded by KWin")
        << QPointF(100, 100) << QRectF(80, 40, 73, 127) << QPoint(124, 125) << QPoint(24, 75);
}

void TestKWinPointer::mapping()
{
    QFETCH(QPointF, pointer);
    QFETCH(QRectF, frame);
    QFETCH(QPoint, screen);
    QFETCH(QPoint, client);
    const std::optional<CursorReading> reading = MapFromCompositor(pointer, frame, { 91, 159 });
    QVERIFY(reading);
    QCOMPARE(QPoint(reading->screen.x, reading->screen.y), screen);
    QCOMPARE(QPoint(reading->client.x, reading->client.y), client);
}

// Frames that are not the head's tell nothing about where the head is, and
// points beyond the integers' range nothing about where the pointer is.
void TestKWinPointer::notTheHead_data()
{
    const double nan = std::nan("");
    QTest::addColumn<QPointF>("pointer");
    QTest::addColumn<QRectF>("frame");
    QTest::newRow("not placed yet") << QPointF(60, 80) << QRectF(0, 0, 0, 0);
    QTest::newRow("the maximized window beneath") << QPointF(60, 80) << QRectF(0, 0, 1024, 768);
    QTest::newRow("the head's shape, two pixels taller")
        << QPointF(60, 80) << QRectF(466, 304, 91, 161);
    QTest::newRow("the head's shape at eight times") << QPointF(60, 80) << QRectF(0, 0, 728, 1272);
    QTest::newRow("2.5e9 from the head") << QPointF(1e9, 0) << QRectF(-1.5e9, 0, 91, 159);
    QTest::newRow("not a number") << QPointF(nan, 80) << QRectF(466, 304, 91, nan);
}

void TestKWinPointer::notTheHead()
{
    QFETCH(QPointF, pointer);
    QFETCH(QRectF, frame);
    QVERIFY(!MapFromCompositor(pointer, frame, { 91, 159 }));
}

#ifdef OGLON_CURSOR_SESSION
// A cursor session's position is in the pixels of its output's picture; the
// head's frame comes from its place on XWayland's root (here 466, 304 and
// 91 x 159), which is the layout itself or the layout in pixels.
void TestKWinPointer::cursorSession_data()
{
    QTest::addColumn<OutputLayout>("output");
    QTest::addColumn<QPoint>("position");
    QTest::addColumn<QRect>("screens"); // XWayland's root
    QTest::addColumn<QRect>("layout"); // all outputs
    QTest::addColumn<QPoint>("client");
    const QRect one(0, 0, 1024, 768);
    QTest::newRow("scale 1") << OutputLayout { one, { 1024, 768 } } << QPoint(500, 400) << one
                             << one << QPoint(34, 96);
    QTest::newRow("scale 2") << OutputLayout { { 0, 0, 512, 384 }, { 1024, 768 } }
                             << QPoint(1000, 700) << QRect(0, 0, 512, 384) << QRect(0, 0, 512, 384)
                             << QPoint(34, 46);
    QTest::newRow("scale 2, turned a quarter")
        << OutputLayout { { 0, 0, 384, 512 }, { 1024, 768 }, true } << QPoint(200, 100)
        << QRect(0, 0, 384, 512) << QRect(0, 0, 384, 512) << QPoint(-366, -254);
    QTest::newRow("scale 1.5, right of another output")
        << OutputLayout { { 1024, 0, 1280, 720 }, { 1920, 1080 } } << QPoint(300, 150)
        << QRect(0, 0, 2304, 768) << QRect(0, 0, 2304, 768) << QPoint(758, -204);
    QTest::newRow("scale 2, XWayland's root in pixels")
        << OutputLayout { one, { 2048, 1536 } } << QPoint(1000, 800) << QRect(0, 0, 2048, 1536)
        << one << QPoint(534, 496);
}

void TestKWinPointer::cursorSession()
{
    QFETCH(OutputLayout, output);
    QFETCH(QPoint, position);
    QFETCH(QRect, screens);
    QFETCH(QRect, layout);
    QFETCH(QPoint, client);
    const std::optional<QPointF> pointer = LayoutPoint(output, position);
    QVERIFY(pointer);
    const QRect head(466, 304, 91, 159);
    const std::optional<CursorReading> reading
        = MapFromCompositor(*pointer, FrameInLayout(head, screens, layout), head.size());
    QVERIFY(reading);
    QCOMPARE(QPoint(reading->client.x, reading->client.y), client);
    QVERIFY(!LayoutPoint(OutputLayout { {}, output.mode }, position));
}
#endif

void TestKWinPointer::sourceChoice_data()
{
    QTest::addColumn<bool>("wayland");
    QTest::addColumn<bool>("x11");
    QTest::addColumn<QString>("onBus"); // the compositor on the session bus
    QTest::addColumn<PointerChoice>("choice");
    QTest::newRow("X11 session") << false << true << "" << PointerChoice::XServer;
    QTest::newRow("X11 session, KWin on the bus")
        << false << true << "KWin" << PointerChoice::XServer;
    QTest::newRow("GNOME on X11") << false << true << "GNOME" << PointerChoice::XServer;
    QTest::newRow("Plasma Wayland") << true << true << "KWin" << PointerChoice::KWin;
    QTest::newRow("GNOME on Wayland") << true << true << "GNOME" << PointerChoice::GnomeShell;
#ifdef OGLON_CURSOR_SESSION
    QTest::newRow("other Wayland") << true << true << "" << PointerChoice::CursorSession;
#else
    QTest::newRow("other Wayland") << true << true << "" << PointerChoice::X11WindowsOnly;
#endif
    QTest::newRow("native Wayland by -platform")
        << true << false << "KWin" << PointerChoice::XServer;
}

void TestKWinPointer::sourceChoice()
{
    QFETCH(bool, wayland);
    QFETCH(bool, x11);
    QFETCH(QString, onBus);
    QFETCH(PointerChoice, choice);
    QCOMPARE(ChoosePointerSource(wayland, x11, onBus == "KWin", onBus == "GNOME"), choice);
}

// What GNOME Shell's GetExtensionInfo says of the extension (a state number,
// or nothing when the shell does not know it), and whether its files are
// where the shell looks: the one stderr line and whether to offer enabling.
void TestKWinPointer::gnomeExtension_data()
{
    QTest::addColumn<int>("shellState"); // 0: the shell does not know it
    QTest::addColumn<bool>("installed");
    QTest::addColumn<ExtensionState>("state");
    QTest::addColumn<QString>("says");
    QTest::newRow("not installed") << 0 << false << ExtensionState::Missing << "not installed";
    QTest::newRow("installed after the login")
        << 0 << true << ExtensionState::NeedsLogin << "runs from the next login";
    QTest::newRow("running") << 1 << true << ExtensionState::Running << "sent no report";
    QTest::newRow("disabled") << 2 << true << ExtensionState::Off << "not enabled";
    QTest::newRow("failed") << 3 << true << ExtensionState::Failed << "failed: why";
    QTest::newRow("out of date") << 4 << true << ExtensionState::OutOfDate << "out of date";
    QTest::newRow("never enabled") << 6 << true << ExtensionState::Off << "not enabled";
}

void TestKWinPointer::gnomeExtension()
{
    QFETCH(int, shellState);
    QFETCH(bool, installed);
    QFETCH(ExtensionState, state);
    QFETCH(QString, says);
    QVariantMap info;
    if (shellState)
        info = { { "state", double(shellState) }, { "error", "why" } };
    QCOMPARE(GnomeExtensionState(info, installed), state);
    QVERIFY(GnomeExtensionProblem(state, "why").contains(says));
    // GNOME Shell 45 brought the ES module format.
    QCOMPARE(GnomeExtensionUuid("44.9"), "oglon-pointer-legacy@oglon.org");
    QCOMPARE(GnomeExtensionUuid("45.0"), "oglon-pointer@oglon.org");
}

// The enabled extensions as `gsettings get` prints them. What it printed when
// it failed is no list: enabling on top of it would drop the others.
void TestKWinPointer::enabledExtensions_data()
{
    QTest::addColumn<QByteArray>("printed");
    QTest::addColumn<bool>("list");
    QTest::addColumn<QStringList>("uuids");
    QTest::newRow("none") << QByteArray("@as []\n") << true << QStringList();
    QTest::newRow("two") << QByteArray("['a@b', 'c@d']\n") << true << QStringList { "a@b", "c@d" };
    QTest::newRow("nothing printed") << QByteArray() << false << QStringList();
}

void TestKWinPointer::enabledExtensions()
{
    QFETCH(QByteArray, printed);
    QFETCH(bool, list);
    QFETCH(QStringList, uuids);
    const std::optional<QStringList> parsed = GsettingsStringList(printed);
    QCOMPARE(parsed.has_value(), list);
    QCOMPARE(parsed.value_or(QStringList()), uuids);
}

void TestKWinPointer::javaScriptString_data()
{
    QTest::addColumn<QString>("value");
    QTest::newRow("bus name") << QStringLiteral(":1.42");
    QTest::newRow("quotes and backslash") << QStringLiteral("a\"b'c\\\"; evil(); \"");
    QTest::newRow("line ends") << QStringLiteral("a\nb\rc\u2028d\u2029e");
    QTest::newRow("non-ASCII") << QStringLiteral("K\u00f6pf\u00e9 \U0001F600");
}

// Quoted, with nothing but ASCII letters, digits and \u escapes inside, and
// the escapes spell the value.
void TestKWinPointer::javaScriptString()
{
    QFETCH(QString, value);
    const QString literal = JavaScriptString(value);
    static const QRegularExpression safe(QStringLiteral("^\"([A-Za-z0-9]|\\\\u[0-9a-f]{4})*\"$"));
    QVERIFY2(safe.match(literal).hasMatch(), qPrintable(literal));
    QString decoded;
    for (int i = 1; i < literal.size() - 1; ++i) {
        if (literal.at(i) == u'\\') {
            decoded += QChar(literal.mid(i + 2, 4).toUShort(nullptr, 16));
            i += 5;
        } else {
            decoded += literal.at(i);
        }
    }
    QCOMPARE(decoded, value);
}

void TestKWinPointer::privateFile()
{
    QTemporaryDir directory;
    std::unique_ptr<QTemporaryFile> first = WritePrivateFile(directory.path(), "one");
    std::unique_ptr<QTemporaryFile> second = WritePrivateFile(directory.path(), "two");
    QVERIFY(first && second);
    QVERIFY(first->fileName() != second->fileName());
    const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup
        | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    QCOMPARE(QFileInfo(first->fileName()).permissions() & others, QFile::Permissions());
    QVERIFY(first->open());
    QCOMPARE(first->readAll(), QByteArray("one"));
    const QString name = first->fileName();
    first.reset();
    QVERIFY(!QFile::exists(name));
    QVERIFY(!WritePrivateFile(directory.filePath("missing"), "three"));
}

QTEST_APPLESS_MAIN(TestKWinPointer)
#include "tst_kwinpointer.moc"

// The head's context menu, driven by its keys, and the About box it opens.
#include "e2e.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QtTest>
#include <xcb/shape.h>

using namespace e2e;

class TestMenuAbout : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void menuOpensOnThePress();
    void menuKeys_data();
    void menuKeys();
    void alwaysOnTopToggles();
    void aboutBox_data();
    void aboutBox();
    void linksOpenTheirTargets();
    void failedLinkSaysSo_data();
    void failedLinkSaysSo();
    void aboutCloses_data();
    void aboutCloses();
    void exitEndsTheProgram();

private:
    Window openAbout();

    StandInOpener opener;
    std::unique_ptr<Oglon> oglon;
};

void TestMenuAbout::init()
{
    QVERIFY(opener.isReady());
    opener.forgetCalls();
    oglon = std::make_unique<Oglon>();
    QVERIFY(oglon->start(opener.environment()));
    QTRY_VERIFY_WITH_TIMEOUT(isAbove(oglon->head()), Deadline);
}

Window TestMenuAbout::openAbout()
{
    QList<Window> about;
    if (!oglon->choose("a")
        || !QTest::qWaitFor(
            [&] { return (about = windowsNamed("About Oglon", oglon->pid())).size() == 1; },
            Deadline))
        return 0;
    // Managed: the window manager has framed it.
    if (!QTest::qWaitFor(
            [&] { return cardinals(about.front(), "_NET_FRAME_EXTENTS").size() == 4; }, Deadline))
        return 0;
    return about.front();
}

void TestMenuAbout::menuOpensOnThePress()
{
    const QPoint at = oglon->onHead({ 45, 60 });
    QVERIFY(xdotool(warpTo(at) + QStringList { "mousedown", "3" }));
    QList<Window> menus;
    QTRY_VERIFY_WITH_TIMEOUT((menus = popups(oglon->pid())).size() == 1, Deadline);
    const Window menu = menus.front();

    // The release where the press was chooses nothing: once the menu has
    // taken a key after it (its highlight moves), it is still open, the
    // head still on top and no About box came up.
    QVERIFY(xdotool({ "mouseup", "3" }));
    const QImage before = grab(clientRect(menu));
    QVERIFY(xdotool({ "key", "Down" }));
    QTRY_VERIFY_WITH_TIMEOUT(grab(clientRect(menu)) != before, Deadline);
    QCOMPARE(popups(oglon->pid()), QList<Window> { menu });
    QVERIFY(isAbove(oglon->head()));
    QVERIFY(windowsNamed("About Oglon", oglon->pid(), false).isEmpty());

    QVERIFY(xdotool({ "key", "Escape" }));
    QTRY_VERIFY_WITH_TIMEOUT(popups(oglon->pid()).isEmpty(), Deadline);
    QVERIFY(isAbove(oglon->head()));
    QVERIFY(isViewable(oglon->head()));
}

void TestMenuAbout::menuKeys_data()
{
    QTest::addColumn<QString>("key");
    QTest::newRow("Menu") << "Menu";
    QTest::newRow("Shift+F10") << "shift+F10";
}

void TestMenuAbout::menuKeys()
{
    QFETCH(QString, key);
    // A click gives the head the focus; the key opens the menu on the head.
    QVERIFY(xdotool(warpTo(oglon->onHead({ 45, 60 })) + QStringList { "click", "1" }));
    QTRY_COMPARE_WITH_TIMEOUT(activeWindow(), oglon->head(), Deadline);
    QVERIFY(movePointer({ 5, 5 }));
    QVERIFY(xdotool({ "key", key }));
    QList<Window> menus;
    QTRY_VERIFY_WITH_TIMEOUT((menus = popups(oglon->pid())).size() == 1, Deadline);
    QVERIFY(clientRect(oglon->head()).contains(clientRect(menus.front()).topLeft()));
    QVERIFY(xdotool({ "key", "Escape" }));
    QTRY_VERIFY_WITH_TIMEOUT(popups(oglon->pid()).isEmpty(), Deadline);
}

void TestMenuAbout::alwaysOnTopToggles()
{
    const Window head = oglon->head();
    for (bool onTop : { false, true }) {
        QVERIFY(oglon->choose("t"));
        QTRY_COMPARE_WITH_TIMEOUT(isAbove(head), onTop, Deadline);
        // The same window, still shown and still off the taskbar.
        QCOMPARE(windowsNamed("Oglon", oglon->pid()), QList<Window> { head });
        QString state;
        QVERIFY2(hasStates(head, OffTaskbar, &state), qPrintable(state));
        QCOMPARE(clientRect(head), HeadRect);
        for (int kind : { XCB_SHAPE_SK_BOUNDING, XCB_SHAPE_SK_INPUT })
            QVERIFY(
                ((shape(head, kind) ^ headOutline()) & QRect(QPoint(), HeadRect.size())).isEmpty());
    }
    // The window manager takes the head out of the band itself: the check
    // mark follows, so that one choice puts it back as the mark promises.
    QVERIFY(QProcess::execute("wmctrl", { "-i", "-r", QString::number(head), "-b", "remove,above" })
        == 0);
    QTRY_VERIFY_WITH_TIMEOUT(!isAbove(head), Deadline);
    QVERIFY(oglon->choose("t"));
    QTRY_VERIFY_WITH_TIMEOUT(isAbove(head), Deadline);
}

void TestMenuAbout::aboutBox_data()
{
    QTest::addColumn<bool>("onTop");
    QTest::newRow("head on top") << true;
    QTest::newRow("head not on top") << false;
}

void TestMenuAbout::aboutBox()
{
    QFETCH(bool, onTop);
    if (!onTop) {
        QVERIFY(oglon->choose("t"));
        QTRY_VERIFY_WITH_TIMEOUT(!isAbove(oglon->head()), Deadline);
    }
    const Window about = openAbout();
    QVERIFY(about);
    QCOMPARE(isAbove(about), onTop);

    // A framed window of the designed size, centred on the screen but for
    // the frame Qt places around it.
    const QRect client = clientRect(about);
    QCOMPARE(client.size(), QSize(245, 110));
    const QList<quint32> extents = cardinals(about, "_NET_FRAME_EXTENTS"); // left right top bottom
    QVERIFY2(extents[2] > 0, "no title bar");
    QCOMPARE(frameRect(about),
        client.adjusted(-int(extents[0]), -int(extents[2]), int(extents[1]), int(extents[3])));
    // Centred by its frame, once the window manager has made one.
    QPoint off;
    const bool centred = QTest::qWaitFor(
        [&] {
            off = frameRect(about).center() - QRect(QPoint(), ScreenSize).center();
            return qAbs(off.x()) <= 2 && qAbs(off.y()) <= 2;
        },
        Deadline);
    QVERIFY2(
        centred, qPrintable(QStringLiteral("centre off by (%1,%2)").arg(off.x()).arg(off.y())));

    // The head changing its mind later leaves the open box as it was.
    QVERIFY(oglon->choose("t"));
    QTRY_COMPARE_WITH_TIMEOUT(isAbove(oglon->head()), !onTop, Deadline);
    QCOMPARE(isAbove(about), onTop);

    // Asked for again, the same box comes up. The menu opening once more
    // shows the program has dealt with the request.
    QVERIFY(oglon->choose("a"));
    QVERIFY(oglon->openMenu());
    QVERIFY(xdotool({ "key", "Escape" }));
    QCOMPARE(windowsNamed("About Oglon", oglon->pid(), false), QList<Window> { about });
    QVERIFY(isViewable(about));
}

void TestMenuAbout::linksOpenTheirTargets()
{
    const Window about = openAbout();
    QVERIFY(about);
    const QList<std::pair<QRect, QString>> links { { { 69, 33, 107, 18 }, "mailto:" + AuthorEmail },
        { { 3, 49, 238, 18 }, AuthorHomepage } };
    QList<QList<QByteArray>> expected; // one argument per call
    for (const auto &[label, target] : links) {
        const QPoint at = clientRect(about).topLeft() + label.center();
        QVERIFY(xdotool(warpTo(at) + QStringList { "click", "1" }));
        expected << QList<QByteArray> { target.toUtf8() };
        QTRY_VERIFY_WITH_TIMEOUT(opener.calls().size() >= expected.size(), Deadline);
        QCOMPARE(opener.calls(), expected);
    }
    // Pressed on one link and released on the other: nothing opens. A
    // double-click opens once; the plain click after it shows the program
    // has seen both.
    const QPoint email = clientRect(about).topLeft() + links[0].first.center();
    const QPoint homepage = clientRect(about).topLeft() + links[1].first.center();
    QVERIFY(xdotool(warpTo(email) + QStringList { "mousedown", "1" }));
    QVERIFY(movePointer(homepage, true));
    QVERIFY(xdotool({ "mouseup", "1" }));
    QVERIFY(xdotool({ "click", "--repeat", "2", "--delay", "50", "1" }));
    QVERIFY(xdotool(warpTo(email) + QStringList { "click", "1" }));
    expected << QList<QByteArray> { links[1].second.toUtf8() }
             << QList<QByteArray> { links[0].second.toUtf8() };
    QTRY_VERIFY_WITH_TIMEOUT(opener.calls().size() >= expected.size(), Deadline);
    QTest::qWait(200);
    QCOMPARE(opener.calls(), expected);
    QVERIFY(isViewable(about));
}

// How far below the point it is given Qt puts a tip, clear of the pointer:
// 16 px in Qt 6.4, the session's cursor size (24 unless XCURSOR_SIZE says
// otherwise) in Qt 6.8.
static int tipDrop()
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    const int size = qEnvironmentVariableIntValue("XCURSOR_SIZE");
    return size > 0 ? size : 24;
#else
    return 16;
#endif
}

void TestMenuAbout::failedLinkSaysSo_data()
{
    QTest::addColumn<bool>("installed");
    QTest::newRow("no program for the address") << true;
    QTest::newRow("no opener") << false;
}

void TestMenuAbout::failedLinkSaysSo()
{
    QFETCH(bool, installed);
    // The desktop's opener finds no program for the address (xdg-open's
    // status 3), or there is no opener on PATH at all.
    QTemporaryDir bin;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (installed) {
        QFile failing(bin.filePath("xdg-open"));
        QVERIFY(failing.open(QIODevice::WriteOnly) && failing.write("#!/bin/sh\nexit 3\n") > 0);
        failing.close();
        QVERIFY(failing.setPermissions(failing.permissions() | QFile::ExeOwner));
        environment.insert("PATH", bin.path() + ':' + environment.value("PATH"));
    } else {
        environment.insert("PATH", bin.path());
    }
    oglon = std::make_unique<Oglon>();
    QVERIFY(oglon->start(environment));
    const Window about = openAbout();
    QVERIFY(about);
    QGuiApplication::clipboard()->clear();
    const QPoint email = clientRect(about).topLeft() + QPoint(122, 42);
    QVERIFY(xdotool(warpTo(email) + QStringList { "click", "1" }));
    // A tip beside the link, and the address on the clipboard to paste.
    QList<Window> tips;
    QTRY_VERIFY_WITH_TIMEOUT((tips = popups(oglon->pid())).size() == 1, Deadline);
    const int tipTop = clientRect(tips.front()).top();
    const int linkBottom = email.y() + 9;
    QVERIFY2(qAbs(tipTop - (linkBottom + tipDrop())) <= 6,
        qPrintable(QStringLiteral("tip top %1, link bottom %2").arg(tipTop).arg(linkBottom)));
    QTRY_COMPARE_WITH_TIMEOUT(QGuiApplication::clipboard()->text(), AuthorEmail, Deadline);
}

void TestMenuAbout::aboutCloses_data()
{
    QTest::addColumn<QStringList>("input");
    QTest::newRow("OK") << QStringList { "click", "1" };
    QTest::newRow("Return") << QStringList { "key", "Return" };
    QTest::newRow("Enter") << QStringList { "key", "KP_Enter" };
    QTest::newRow("Escape") << QStringList { "key", "Escape" };
}

void TestMenuAbout::aboutCloses()
{
    QFETCH(QStringList, input);
    const Window about = openAbout();
    QVERIFY(about);
    const QPoint ok = clientRect(about).topLeft() + QRect(92, 78, 65, 23).center();
    QVERIFY(
        xdotool(warpTo(ok) + QStringList { "windowactivate", "--sync", QString::number(about) }));
    QVERIFY(xdotool(input));
    QTRY_VERIFY_WITH_TIMEOUT(windowsNamed("About Oglon", oglon->pid(), false).isEmpty(), Deadline);
    QCOMPARE(oglon->process().state(), QProcess::Running);
    QVERIFY(isViewable(oglon->head()));
}

void TestMenuAbout::exitEndsTheProgram()
{
    const Window about = openAbout();
    QVERIFY(about);
    QVERIFY(oglon->choose("e"));
    QVERIFY(oglon->process().waitForFinished(Deadline));
    QCOMPARE(oglon->process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(oglon->process().exitCode(), 0);
    QVERIFY(clientRect(oglon->head()).isEmpty());
    QVERIFY(clientRect(about).isEmpty());
}

QTEST_MAIN(TestMenuAbout)
#include "tst_e2e_menu_about.moc"

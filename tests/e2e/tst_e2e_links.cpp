// The About box's links with author details full of quotes, semicolons,
// command substitutions, spaces and non-ASCII letters (a build of their own):
// each click hands the opener exactly one argument, the URL of the label's
// text, and no shell ever runs it.
#include "e2e.h"

#include <QFile>
#include <QUrl>
#include <QtTest>

using namespace e2e;

namespace {

// Written by the shell payload in the author details, should it ever run.
const QString ShellRan = QStringLiteral("/tmp/oglon-shell-ran");

QStringList oddAuthors()
{
    QFile file(QStringLiteral(OGLON_SOURCE_DIR "/tests/e2e/odd-authors.txt"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

} // namespace

class TestLinks : public QObject
{
    Q_OBJECT

private slots:
    void oddDetailsReachTheOpenerIntact();
};

void TestLinks::oddDetailsReachTheOpenerIntact()
{
    const QString binary = qEnvironmentVariable("OGLON_ODD_BINARY");
    QVERIFY2(QFile::exists(binary), "OGLON_ODD_BINARY names no program");
    const QStringList author = oddAuthors();
    QCOMPARE(author.size(), 3);
    QFile::remove(ShellRan);

    StandInOpener opener;
    QVERIFY(opener.isReady());
    Oglon oglon;
    QVERIFY(oglon.start(opener.environment(), binary));
    QVERIFY(oglon.choose("a"));
    QList<Window> about;
    QTRY_COMPARE_WITH_TIMEOUT(
        (about = windowsNamed("About Oglon", oglon.pid())).size(), 1, Deadline);
    const QPoint box = clientRect(about.front()).topLeft();

    const struct
    {
        QRect label;
        QString target;
    } links[]
        = { { { 69, 33, 107, 18 }, "mailto:" + author[1] }, { { 3, 49, 238, 18 }, author[2] } };
    for (const auto &link : links) {
        const int before = opener.calls().size();
        QVERIFY(movePointer(box + link.label.center()));
        QVERIFY(xdotool({ "click", "1" }));
        QTRY_COMPARE_WITH_TIMEOUT(opener.calls().size(), before + 1, Deadline);
        const QList<QByteArray> arguments = opener.calls().back();
        QCOMPARE(arguments.size(), 1);
        // The URL of the label's text, to the byte, and back to the text.
        const QUrl url(link.target);
        QCOMPARE(arguments.front(), url.toEncoded());
        QCOMPARE(QUrl::fromEncoded(arguments.front()), url);
    }
    QTest::qWait(200);
    QVERIFY2(!QFile::exists(ShellRan), "a shell ran the author details");
}

QTEST_MAIN(TestLinks)
#include "tst_e2e_links.moc"

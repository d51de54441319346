// The About box's links with author details full of quotes, semicolons,
// command substitutions, spaces and non-ASCII letters (a build of their own):
// each click hands the opener exactly one argument, the URL of the label's
// text, and no shell ever runs it.
#include "e2e.h"

#include <QFile>
#include <QTemporaryDir>
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

// One call of the stand-in opener per entry, each the list of its arguments.
QList<QList<QByteArray>> calls(const QString &log)
{
    QFile file(log);
    QList<QList<QByteArray>> result;
    if (!file.open(QIODevice::ReadOnly))
        return result;
    for (const QByteArray &call : file.readAll().split('\x1e'))
        if (!call.isEmpty())
            result << call.chopped(1).split('\0');
    return result;
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

    // A stand-in opener that records its arguments, each ended by a NUL and
    // each call by a record separator.
    QTemporaryDir bin;
    const QString log = bin.filePath("opened");
    QFile opener(bin.filePath("xdg-open"));
    QVERIFY(opener.open(QIODevice::WriteOnly));
    opener.write("#!/bin/sh\nprintf '%s\\0' \"$@\" >>'" + log.toUtf8() + "'\nprintf '\\036' >>'"
        + log.toUtf8() + "'\n");
    opener.close();
    opener.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("PATH", bin.path() + ':' + environment.value("PATH"));

    Oglon oglon;
    QVERIFY(oglon.start(environment, binary));
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
        const int before = calls(log).size();
        QVERIFY(movePointer(box + link.label.center()));
        QVERIFY(xdotool({ "click", "1" }));
        QTRY_COMPARE_WITH_TIMEOUT(calls(log).size(), before + 1, Deadline);
        const QList<QByteArray> arguments = calls(log).back();
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

// The About box in process, on Qt's offscreen platform.
#include "about/form2.h"
#include "head/form1.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

// Stands where the desktop's opener would, first on PATH: it logs the URL it
// is handed, one a line.
class Opener
{
public:
    QTemporaryDir dir;
    void install()
    {
        QFile script(dir.filePath("xdg-open"));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nprintf '%s\\n' \"$1\" >>'" + dir.filePath("log").toUtf8() + "'\n");
        script.close();
        QVERIFY(script.setPermissions(script.permissions() | QFile::ExeOwner));
    }
    QList<QUrl> opened() const
    {
        QFile log(dir.filePath("log"));
        QList<QUrl> urls;
        for (const QByteArray &line :
            log.open(QIODevice::ReadOnly) ? log.readAll().split('\n') : QByteArrayList())
            if (!line.isEmpty())
                urls << QUrl::fromEncoded(line);
        return urls;
    }
};

class TestForm2 : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void design();
    void textsFit();
    void linkColours_data();
    void linkColours();
    void linksOpenTheirCaptions();
    void textsFitInOneSize_data();
    void textsFitInOneSize();
    void handCursor();
    void closes_data();
    void closes();
    void onTopFromTheCheckMarkAtLoad();

private:
    Form1 *head = nullptr;
    Opener opener;
    QByteArray path;
};

void TestForm2::initTestCase()
{
    path = qgetenv("PATH");
    qputenv("PATH", opener.dir.path().toUtf8() + ':' + path);
    opener.install();
}

void TestForm2::cleanupTestCase()
{
    qputenv("PATH", path);
}

void TestForm2::init()
{
    head = new Form1;
    head->show();
    QFile::remove(opener.dir.filePath("log"));
}

void TestForm2::cleanup()
{
    delete Form2::instance();
    delete head;
}

void TestForm2::design()
{
    Form2 *about = Form2::load();
    QCOMPARE(about->windowTitle(), QStringLiteral("About Oglon"));
    QCOMPARE(about->accessibleName(), about->windowTitle());
    QVERIFY(!about->accessibleDescription().isEmpty());
    QCOMPARE(about->size(), QSize(245, 110));
    QCOMPARE(about->minimumSize(), about->maximumSize());
    QVERIFY(
        !(about->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QCOMPARE(about->windowFlags() & Qt::WindowType_Mask, Qt::Window);

    // In tab order: OK, then the four labels.
    const QList<QWidget *> controls = about->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    QCOMPARE(controls.size(), 5);
    const QList<QRect> geometry = { { 92, 78, 65, 23 }, { 27, 3, 187, 18 }, { 41, 18, 163, 18 },
        { 69, 33, 107, 18 }, { 3, 49, 238, 18 } };
    for (int i = 0; i < controls.size(); ++i)
        QCOMPARE(controls[i]->geometry(), geometry[i]);
    QCOMPARE(about->okButton()->text(), QStringLiteral("&OK"));
    QVERIFY(about->okButton()->isDefault());
    QCOMPARE(qobject_cast<QLabel *>(controls[1])->text(), QStringLiteral("Oglon Chromule"));
    QVERIFY(qobject_cast<QLabel *>(controls[2])->text().startsWith(QStringLiteral("By ")));
    QVERIFY(about->emailLink()->font().underline());
    QCOMPARE(about->emailLink()->palette().color(QPalette::WindowText), QColor(0, 0, 128));
    QCOMPARE(about->homepageLink()->palette().color(QPalette::WindowText), QColor(0, 0, 128));
}

void TestForm2::textsFit()
{
    Form2 *about = Form2::load();
    for (const QLabel *label : about->findChildren<QLabel *>()) {
        const int needed = label->fontMetrics().horizontalAdvance(label->text());
        QVERIFY2(needed <= label->width(), qPrintable(label->text()));
        QCOMPARE(label->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    }
}

void TestForm2::linkColours_data()
{
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::newRow("left") << Qt::LeftButton;
    QTest::newRow("right") << Qt::RightButton;
    QTest::newRow("middle") << Qt::MiddleButton;
}

void TestForm2::linkColours()
{
    QFETCH(Qt::MouseButton, button);
    Form2 *about = Form2::load();
    about->show();
    for (QLabel *link : { about->emailLink(), about->homepageLink() }) {
        QTest::mousePress(link, button, {}, QPoint(5, 5));
        QCOMPARE(link->palette().color(QPalette::WindowText), QColor(128, 0, 128));
        QTest::mouseRelease(link, button, {}, QPoint(5, 5));
        QCOMPARE(link->palette().color(QPalette::WindowText), QColor(0, 0, 128));
    }
    // Every button opens, once per release.
    QTRY_COMPARE(opener.opened().size(), 2);
}

void TestForm2::linksOpenTheirCaptions()
{
    Form2 *about = Form2::load();
    about->show();
    QCOMPARE(about->emailTarget(), QStringLiteral("mailto:") + about->emailLink()->text());
    QCOMPARE(about->homepageTarget(), about->homepageLink()->text());

    QTest::mouseClick(about->emailLink(), Qt::LeftButton);
    QTRY_COMPARE(opener.opened().size(), 1);
    QCOMPARE(opener.opened()[0], QUrl(QStringLiteral("mailto:") + about->emailLink()->text()));
    QTest::mouseClick(about->homepageLink(), Qt::LeftButton);
    QTRY_COMPARE(opener.opened().size(), 2);
    QCOMPARE(opener.opened()[1], QUrl(about->homepageLink()->text()));
    QVERIFY(opener.opened()[1].isValid());
}

void TestForm2::textsFitInOneSize_data()
{
    QTest::addColumn<qreal>("desktopSize"); // the desktop's font, in points
    QTest::newRow("small") << 7.0;
    QTest::newRow("usual") << 10.0;
    QTest::newRow("large") << 16.0;
}

void TestForm2::textsFitInOneSize()
{
    QFETCH(qreal, desktopSize);
    const QFont desktop = QApplication::font();
    QFont font = desktop;
    font.setPointSizeF(desktopSize);
    QApplication::setFont(font);
    Form2 *about = Form2::load();
    QApplication::setFont(desktop);

    // Both links in one size: the largest, in quarter points up to the
    // desktop's, at which both fit.
    const auto fits = [](const QList<QLabel *> &labels, qreal size) {
        QFont font = labels.front()->font();
        font.setPointSizeF(size);
        const QFontMetrics metrics(font);
        return std::all_of(labels.begin(), labels.end(), [&](const QLabel *label) {
            return metrics.horizontalAdvance(label->text()) <= label->width()
                && metrics.height() <= 15; // the rows' pitch
        });
    };
    QLabel *email = about->emailLink();
    QLabel *credit = about->creditLine();
    const qreal size = email->font().pointSizeF();
    QCOMPARE(about->homepageLink()->font().pointSizeF(), size);
    // The credit line follows the same rule on its own.
    for (const auto &[labels, points] :
        { std::pair { QList { email, about->homepageLink() }, size },
            std::pair { QList { credit }, credit->font().pointSizeF() } }) {
        QVERIFY(points <= desktopSize);
        QVERIFY(fits(labels, points));
        if (points < desktopSize)
            QVERIFY2(!fits(labels, points + 0.25), qPrintable(labels.front()->text()));
    }
    QVERIFY(email->font().underline() && !credit->font().underline());
}

void TestForm2::handCursor()
{
    Form2 *about = Form2::load();
    for (const QLabel *link : { about->emailLink(), about->homepageLink() }) {
        const QCursor cursor = link->cursor();
        QCOMPARE(cursor.shape(), Qt::BitmapCursor);
        QCOMPARE(cursor.hotSpot(), QPoint(5, 1));
        QCOMPARE(cursor.pixmap().size(), QSize(32, 32));
    }
}

void TestForm2::closes_data()
{
    QTest::addColumn<int>("key"); // 0: click OK
    QTest::newRow("OK") << 0;
    QTest::newRow("Enter") << int(Qt::Key_Return);
    QTest::newRow("Esc") << int(Qt::Key_Escape);
}

void TestForm2::closes()
{
    QFETCH(int, key);
    head->aboutItem()->trigger();
    Form2 *about = Form2::instance();
    QVERIFY(about);
    QVERIFY(QTest::qWaitForWindowActive(about));
    QPointer<Form2> watch(about);
    if (key)
        QTest::keyClick(about, Qt::Key(key));
    else
        QTest::mouseClick(about->okButton(), Qt::LeftButton);
    QVERIFY(!Form2::instance());
    QTRY_VERIFY(!watch); // destroyed, not just hidden
    QCOMPARE(head->Timer1Interval(), 100); // the head runs on
    // The next About command builds a new box.
    head->aboutItem()->trigger();
    QVERIFY(Form2::instance());
}

void TestForm2::onTopFromTheCheckMarkAtLoad()
{
    head->alwaysOnTopItem()->trigger(); // cleared
    head->aboutItem()->trigger();
    Form2 *about = Form2::instance();
    QVERIFY(!(about->windowFlags() & Qt::WindowStaysOnTopHint));
    head->alwaysOnTopItem()->trigger(); // set again; the open box keeps its place
    QVERIFY(!(about->windowFlags() & Qt::WindowStaysOnTopHint));
    delete about;
    head->aboutItem()->trigger();
    QVERIFY(Form2::instance()->windowFlags() & Qt::WindowStaysOnTopHint);
}

QTEST_MAIN(TestForm2)
#include "tst_form2.moc"

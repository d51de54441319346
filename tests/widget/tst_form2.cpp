// The About box in process, on Qt's offscreen platform.
#include "about/form2.h"
#include "head/form1.h"

#include <QAction>
#include <QDesktopServices>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

// Stands where the mail program and the browser would: Qt hands it every URL
// of the schemes it is registered for.
class Opener : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened << url; }
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
    void handCursor();
    void closes_data();
    void closes();
    void onTopFromTheCheckMarkAtLoad();

private:
    Form1 *head = nullptr;
    Opener opener;
};

void TestForm2::initTestCase()
{
    QDesktopServices::setUrlHandler(QStringLiteral("mailto"), &opener, "open");
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &opener, "open");
}

void TestForm2::cleanupTestCase()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("mailto"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
}

void TestForm2::init()
{
    head = new Form1;
    head->show();
    opener.opened.clear();
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
    QCOMPARE(opener.opened.size(), 2);
}

void TestForm2::linksOpenTheirCaptions()
{
    Form2 *about = Form2::load();
    about->show();
    QCOMPARE(about->emailTarget(), QStringLiteral("mailto:") + about->emailLink()->text());
    QCOMPARE(about->homepageTarget(), about->homepageLink()->text());

    QTest::mouseClick(about->emailLink(), Qt::LeftButton);
    QCOMPARE(opener.opened.size(), 1);
    QCOMPARE(opener.opened[0], QUrl(QStringLiteral("mailto:") + about->emailLink()->text()));
    QTest::mouseClick(about->homepageLink(), Qt::LeftButton);
    QCOMPARE(opener.opened.size(), 2);
    QCOMPARE(opener.opened[1], QUrl(about->homepageLink()->text()));
    QVERIFY(opener.opened[1].isValid());
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

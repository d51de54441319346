// The head window in process, on Qt's offscreen platform.
#include "about/form2.h"
#include "head/form1.h"
#include "head/picture.h"
#include "pointer/pointersource.h"

#include <QAction>
#include <QMenu>
#include <QtTest>

namespace {

QPointF pupilPlace(const Form1 &head, int index)
{
    return { head.eye(index)->left(), head.eye(index)->top() };
}

void sendMove(QWidget *image, QPoint local, Qt::MouseButtons buttons)
{
    QMouseEvent move(
        QEvent::MouseMove, local, image->mapToGlobal(local), Qt::NoButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(image, &move);
}

// A source that reports motion, as the compositor's does: Qt's pointer, and
// moved() when the test says so.
class ReportingSource : public PointerSource
{
public:
    std::optional<CursorReading> read(HWND window) override
    {
        ++reads;
        const QPoint at = QCursor::pos(), client = window ? window->mapFromGlobal(at) : at;
        return CursorReading { { at.x(), at.y() }, { client.x(), client.y() } };
    }
    bool reportsMotion() const override { return true; }
    void listen(bool on) override { listening = on; }
    QString name() const override { return QStringLiteral("test"); }
    bool listening = false;
    int reads = 0;
};

} // namespace

class TestForm1 : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void design();
    void menu();
    void shapedToTheOutline();
    void pointerResting();
    void tickTurnsThePupils_data();
    void tickTurnsThePupils();
    void onlyPointerMotionCounts();
    void reportedMotionAndLostSource();
    void pacerFollowsTheSourceAndReadsOnce();

    void leftPressStartsDrag();
    void secondPressKeepsAnchor();
    void dragMovesWithThePointer();
    void moveNeedsTheLeftButtonAlone();
    void pupilsRestDuringDrag();
    void lostReleaseEndsDrag();
    void pressOnPupilDoesNothing();

    void toggleOnTop();
    void aboutTwiceGivesOneBox();

private:
    Form1 *head = nullptr;
};

void TestForm1::init()
{
    QCursor::setPos(0, 0);
    head = new Form1;
    head->show();
    QVERIFY(QTest::qWaitForWindowExposed(head));
}

void TestForm1::cleanup()
{
    if (QWidget *grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
    head->popupMenu()->hide();
    delete Form2::instance();
    delete head;
    head = nullptr;
}

void TestForm1::design()
{
    QCOMPARE(head->windowTitle(), QStringLiteral("Oglon"));
    // What a screen reader says of the head.
    QCOMPARE(head->accessibleName(), QStringLiteral("Oglon"));
    QCOMPARE(head->accessibleDescription(),
        QStringLiteral("The eyes look in the direction of the mouse pointer"));
    QVERIFY(!head->popupMenu()->accessibleName().isEmpty());
    QCOMPARE(head->size(), QSize(91, 159));
    QVERIFY(head->windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(head->windowFlags() & Qt::WindowStaysOnTopHint);
    QCOMPARE(head->palette().color(QPalette::Window), QColor(Qt::black));
    QCOMPARE(head->image()->geometry(), QRect(0, 0, 91, 158));
    QCOMPARE(head->eye(0)->geometry(), QRect(25, 77, 5, 6));
    QCOMPARE(head->eye(1)->geometry(), QRect(63, 76, 5, 6));
    QCOMPARE(head->Timer1Interval(), 100);
    const QRect screen = head->screen()->availableGeometry();
    QVERIFY(qAbs(head->geometry().center().x() - screen.center().x()) <= 1);
    QVERIFY(qAbs(head->geometry().center().y() - screen.center().y()) <= 1);
    // The pupils lie above the head picture.
    const QObjectList children = head->children();
    QVERIFY(
        children.indexOf(head->image()) < children.indexOf(const_cast<Picture *>(head->eye(0))));
}

void TestForm1::menu()
{
    const QList<QAction *> items = head->popupMenu()->actions();
    QCOMPARE(items.size(), 4);
    QCOMPARE(items[0]->text(), QStringLiteral("Always On &Top"));
    QVERIFY(items[0]->isCheckable() && items[0]->isChecked());
    QCOMPARE(items[1]->text(), QStringLiteral("&About Oglon"));
    QVERIFY(items[2]->isSeparator());
    QCOMPARE(items[3]->text(), QStringLiteral("&Exit"));
    QCOMPARE(head->popupMenu()->title(), QStringLiteral("PopupMenu"));
}

void TestForm1::shapedToTheOutline()
{
    const QRegion mask = head->mask();
    QVERIFY(mask.contains(QPoint(45, 80)));
    QVERIFY(!mask.contains(QPoint(0, 18))); // left of the temple
    QVERIFY(!mask.contains(QPoint(0, 0)));
    QVERIFY(!mask.contains(QPoint(90, 158)));
    QCOMPARE(head->outline().front(), (POINT { 5, 127 }));
}

void TestForm1::pointerResting()
{
    // The pointer at the screen's (0, 0) from the start: nothing moves.
    for (int i = 0; i < 3; ++i)
        head->Timer1_Timer();
    QCOMPARE(pupilPlace(*head, 0), QPointF(25, 77));
    QCOMPARE(pupilPlace(*head, 1), QPointF(63, 76));
    QCOMPARE(head->lastCursor(), (POINT { 0, 0 }));
}

void TestForm1::tickTurnsThePupils_data()
{
    QTest::addColumn<QPoint>("pointer"); // in the window's pixels
    QTest::addColumn<QPointF>("pupil0");
    QTest::addColumn<QPointF>("pupil1");
    QTest::newRow("right") << QPoint(200, 81) << QPointF(28.5, 78) << QPointF(68.5, 78);
    QTest::newRow("on eye 0") << QPoint(26, 81) << QPointF(23.5, 78) << QPointF(58.5, 78);
    QTest::newRow("between") << QPoint(46, 81) << QPointF(28.5, 78) << QPointF(58.5, 78);
    QTest::newRow("above eye 1") << QPoint(66, 0) << QPointF(25.714, 75.310) << QPointF(63.5, 75);
}

void TestForm1::tickTurnsThePupils()
{
    QFETCH(QPoint, pointer);
    QFETCH(QPointF, pupil0);
    QFETCH(QPointF, pupil1);
    QCursor::setPos(head->mapToGlobal(pointer));
    head->Timer1_Timer();
    const QPointF p0 = pupilPlace(*head, 0), p1 = pupilPlace(*head, 1);
    QVERIFY2(qAbs(p0.x() - pupil0.x()) < 0.001 && qAbs(p0.y() - pupil0.y()) < 0.001,
        qPrintable(QStringLiteral("%1,%2").arg(p0.x()).arg(p0.y())));
    QVERIFY(qAbs(p1.x() - pupil1.x()) < 0.001 && qAbs(p1.y() - pupil1.y()) < 0.001);
    // Drawn at the rounded place.
    QCOMPARE(head->eye(0)->pos(), QPoint(qFloor(pupil0.x() + 0.5), qFloor(pupil0.y() + 0.5)));
}

void TestForm1::onlyPointerMotionCounts()
{
    QCursor::setPos(head->mapToGlobal(QPoint(200, 81)));
    head->Timer1_Timer();
    QCOMPARE(pupilPlace(*head, 0), QPointF(28.5, 78));

    // Moving the window alone leaves the pupils where they are.
    head->move(head->pos() + QPoint(300, 0));
    QTRY_COMPARE(head->mapToGlobal(QPoint(0, 0)).x(), head->pos().x());
    head->Timer1_Timer();
    QCOMPARE(pupilPlace(*head, 0), QPointF(28.5, 78));

    // A move along one axis is a move.
    const QPoint at = QCursor::pos();
    QCursor::setPos(at.x(), at.y() + 1);
    head->Timer1_Timer();
    QVERIFY(pupilPlace(*head, 0).x() < 26); // now the pointer is left of the eyes
    QCOMPARE(head->lastCursor(), (POINT { at.x(), at.y() + 1 }));
}

void TestForm1::reportedMotionAndLostSource()
{
    ReportingSource source;
    SetActivePointerSource(&source);
    // At rest the head listens instead of asking.
    QTRY_VERIFY(source.listening);
    QCursor::setPos(head->mapToGlobal(QPoint(200, 81)));
    emit source.moved();
    QTRY_COMPARE(pupilPlace(*head, 0), QPointF(28.5, 78));
    // Lost: Qt's pointer is asked again, ten times a second.
    emit source.lost();
    QVERIFY(ActivePointerSource() != &source);
    QVERIFY(!source.listening);
    QCursor::setPos(head->mapToGlobal(QPoint(-200, 81)));
    QTRY_VERIFY(pupilPlace(*head, 0).x() < 25);
}

// A pacer made before the source was set follows it, and a tick reads the
// pointer once for both the screen point and the window's.
void TestForm1::pacerFollowsTheSourceAndReadsOnce()
{
    head->setTimer1Interval(0);
    TickPacer pacer(head);
    pacer.start(100);
    ReportingSource source;
    SetActivePointerSource(&source);
    QTRY_VERIFY(source.listening);
    QCursor::setPos(head->mapToGlobal(QPoint(200, 81)));
    const int before = source.reads;
    int readsByFirstTick = -1;
    POINT client;
    connect(&pacer, &TickPacer::timeout, &pacer, [&] {
        GetCursorPos(&client);
        ScreenToClient(head, &client);
        if (readsByFirstTick < 0)
            readsByFirstTick = source.reads - before;
    });
    emit source.moved();
    QTRY_COMPARE(readsByFirstTick, 1);
    QCOMPARE(client, (POINT { 200, 81 }));
}

void TestForm1::leftPressStartsDrag()
{
    QTest::mousePress(head->image(), Qt::LeftButton, {}, QPoint(40, 100));
    QCOMPARE(head->Timer1Interval(), 0);
    QCOMPARE(head->dragAnchor(), QPointF(40, 100));
    QTest::mouseRelease(head->image(), Qt::LeftButton, {}, QPoint(40, 100));
    QCOMPARE(head->Timer1Interval(), 100);
}

void TestForm1::secondPressKeepsAnchor()
{
    head->Image1_MouseDown(1, 0, 40, 100);
    head->Image1_MouseDown(1, 0, 10, 20);
    QCOMPARE(head->dragAnchor(), QPointF(40, 100));
    QCOMPARE(head->Timer1Interval(), 0);
    head->Image1_MouseUp(1, 0, 10, 20);
    QCOMPARE(head->Timer1Interval(), 100);
    head->Image1_MouseUp(1, 0, 10, 20); // a stray release changes nothing
    QCOMPARE(head->Timer1Interval(), 100);
}

void TestForm1::dragMovesWithThePointer()
{
    const QPoint start = head->pos();
    QTest::mousePress(head->image(), Qt::LeftButton, {}, QPoint(40, 100));
    sendMove(head->image(), QPoint(70, 100), Qt::LeftButton);
    QTRY_COMPARE(head->pos(), start + QPoint(30, 0));
    // The pressed point stays under the pointer, however the events queue up.
    sendMove(head->image(), QPoint(40, 100) + QPoint(-5, 12), Qt::LeftButton);
    QTRY_COMPARE(head->pos(), start + QPoint(25, 12));
    QTest::mouseRelease(head->image(), Qt::LeftButton, {}, QPoint(40, 100));
}

void TestForm1::moveNeedsTheLeftButtonAlone()
{
    const QPoint start = head->pos();
    head->Image1_MouseDown(1, 0, 40, 100);
    sendMove(head->image(), QPoint(70, 100), Qt::LeftButton | Qt::RightButton);
    sendMove(head->image(), QPoint(70, 100), Qt::NoButton);
    QTest::qWait(20);
    QCOMPARE(head->pos(), start);
    // Moves while idle do nothing either.
    head->Image1_MouseUp(1, 0, 40, 100);
    sendMove(head->image(), QPoint(70, 100), Qt::LeftButton);
    QTest::qWait(20);
    QCOMPARE(head->pos(), start);
}

void TestForm1::pupilsRestDuringDrag()
{
    QTest::mousePress(head->image(), Qt::LeftButton, {}, QPoint(40, 100));
    QCursor::setPos(head->mapToGlobal(QPoint(300, 81)));
    QTest::qWait(350); // several ticks' worth
    QCOMPARE(pupilPlace(*head, 0), QPointF(25, 77));
    QCOMPARE(head->Timer1Interval(), 0);
    QTest::mouseRelease(head->image(), Qt::LeftButton, {}, QPoint(40, 100));
    QCOMPARE(head->Timer1Interval(), 100);
    QTRY_COMPARE(pupilPlace(*head, 0), QPointF(28.5, 78));
}

void TestForm1::lostReleaseEndsDrag()
{
    // The press arrives, its release goes elsewhere: the button is up.
    head->Image1_MouseDown(1, 0, 40, 100);
    QCOMPARE(head->Timer1Interval(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(head->Timer1Interval(), 100, 1000);
}

void TestForm1::pressOnPupilDoesNothing()
{
    // The pupil lies over the head picture: what lands on it, up to the
    // release, neither drags nor opens the menu.
    QWidget *image = head->image();
    const QPoint onPupil = image->mapFromParent(head->eye(0)->geometry().center());
    QTest::mousePress(image, Qt::LeftButton, {}, onPupil);
    sendMove(image, onPupil + QPoint(30, 0), Qt::LeftButton);
    QCOMPARE(head->Timer1Interval(), 100);
    QTest::mouseRelease(image, Qt::LeftButton, {}, onPupil + QPoint(30, 0));
    QTest::mousePress(image, Qt::RightButton, {}, onPupil);
    QVERIFY(!head->popupMenu()->isVisible());
    QTest::mouseRelease(image, Qt::RightButton, {}, onPupil);
}

void TestForm1::toggleOnTop()
{
    const WId id = head->winId();
    head->alwaysOnTopItem()->trigger();
    QVERIFY(!head->alwaysOnTopItem()->isChecked());
    QVERIFY(!(head->windowFlags() & Qt::WindowStaysOnTopHint));
    QVERIFY(!(head->windowHandle()->flags() & Qt::WindowStaysOnTopHint));
    head->alwaysOnTopItem()->trigger();
    QVERIFY(head->alwaysOnTopItem()->isChecked());
    QVERIFY(head->windowHandle()->flags() & Qt::WindowStaysOnTopHint);
    // Neither hidden nor re-created on the way.
    QVERIFY(head->isVisible());
    QCOMPARE(head->winId(), id);
    QVERIFY(head->windowFlags() & Qt::FramelessWindowHint);
}

void TestForm1::aboutTwiceGivesOneBox()
{
    QVERIFY(!Form2::instance());
    head->aboutItem()->trigger();
    Form2 *first = Form2::instance();
    QVERIFY(first && first->isVisible());
    head->aboutItem()->trigger();
    QCOMPARE(Form2::instance(), first);
    int boxes = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        boxes += qobject_cast<Form2 *>(w) && w->isVisible();
    QCOMPARE(boxes, 1);
}

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"

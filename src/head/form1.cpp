#include "form1.h"

#include "about/form2.h"
#include "desktop/windowkeeper.h"
#include "head/picture.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <algorithm>

namespace {

constexpr int TickInterval = 100;
// While a drag is under way, how often to make sure the left button is still
// held, in case its release went to another window.
constexpr int DragWatchInterval = 200;

// Mouse buttons as the handlers see them: 1 left, 2 right, 4 middle.
int buttonCode(Qt::MouseButtons buttons)
{
    return (buttons & Qt::LeftButton ? 1 : 0) | (buttons & Qt::RightButton ? 2 : 0)
        | (buttons & Qt::MiddleButton ? 4 : 0);
}

int shiftCode(Qt::KeyboardModifiers modifiers)
{
    return (modifiers & Qt::ShiftModifier ? 1 : 0) | (modifiers & Qt::ControlModifier ? 2 : 0)
        | (modifiers & Qt::AltModifier ? 4 : 0);
}

} // namespace

Form1::Form1(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
    , Timer1(this)
{
    setWindowTitle(tr("Oglon"));
    setAccessibleName(tr("Oglon"));
    setAccessibleDescription(tr("The eyes look in the direction of the mouse pointer"));
    setFixedSize(ClientSize.width, ClientSize.height);
    // Pixels with alpha, where the screen offers them: the parts cut away
    // are transparent as well, for compositors that ignore the shape.
    setAttribute(Qt::WA_TranslucentBackground);
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);

    // Drawn bottom up: the head, then the pupils over its eye sockets.
    Image1 = new Picture(QStringLiteral(":/head.gif"), this);
    Image1->setAttribute(Qt::WA_OpaquePaintEvent);
    Image1->installEventFilter(this);
    for (size_t i = 0; i < Eye.size(); ++i) {
        Eye[i] = new Picture(QStringLiteral(":/pupil.gif"), this);
        Eye[i]->setPosition(float(PupilRest[i].x), float(PupilRest[i].y));
        Image1->addOverlay(Eye[i]);
    }
    createMenu();

    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    SkipTaskbar(this);
    KeepOnScreen(this);
    QuitWhenDestroyed(this);
    Form_Load();

    connect(&Timer1, &TickPacer::timeout, this, &Form1::Timer1_Timer);
    setTimer1Interval(TickInterval);
    m_dragWatch.setInterval(DragWatchInterval);
    connect(&m_dragWatch, &QTimer::timeout, this, &Form1::checkDragButton);
}

// The About box goes with the head.
Form1::~Form1()
{
    delete Form2::instance();
}

void Form1::createMenu()
{
    mPopupMenu = new QMenu(QStringLiteral("PopupMenu"), this);
    mPopupMenu->setAccessibleName(tr("Oglon menu"));
    mAlwaysOnTop = mPopupMenu->addAction(tr("Always On &Top"));
    mAlwaysOnTop->setCheckable(true);
    mAlwaysOnTop->setChecked(true);
    mAbout = mPopupMenu->addAction(tr("&About Oglon"));
    mSeparate0 = mPopupMenu->addSeparator();
    mExit = mPopupMenu->addAction(tr("&Exit"));
    connect(mAlwaysOnTop, &QAction::triggered, this, &Form1::mAlwaysOnTop_Click);
    connect(mAbout, &QAction::triggered, this, &Form1::mAbout_Click);
    connect(mExit, &QAction::triggered, this, &Form1::mExit_Click);
    // The check mark shows what the window manager does: it may take the
    // head out of the topmost band itself, so that one choice always does
    // what the mark promises.
    connect(WindowKeeper::of(this), &WindowKeeper::topmostChanged, this, [this](bool topmost) {
        mAlwaysOnTop->setChecked(topmost);
        applyStacking();
    });
    // The menu takes the pointer; a drag under way when it opened goes on
    // once it closes, for as long as the left button is held.
    connect(mPopupMenu, &QMenu::aboutToHide, this,
        [this] { QTimer::singleShot(0, this, &Form1::resumeDrag); });
}

void Form1::Form_Load()
{
    LoadOutline(Outline);
    const HRGN region = CreatePolygonRgn(Outline.data(), OutlineVertexCount, 0)
                            .translated(-OutlineClientOffset.x, -OutlineClientOffset.y);
    SetWindowRgn(this, region, true);
    Image1->clipTo(region);

    applyStacking();

    Eyes[0] = EyeSockets[0];
    Eyes[1] = EyeSockets[1];
}

int Form1::Timer1Interval() const
{
    return Timer1.isActive() ? Timer1.interval() : 0;
}

void Form1::setTimer1Interval(int milliseconds)
{
    if (milliseconds > 0)
        Timer1.start(milliseconds);
    else
        Timer1.stop();
}

QWidget *Form1::image() const
{
    return Image1;
}

const Picture *Form1::eye(int index) const
{
    return Eye.at(size_t(index));
}

void Form1::Timer1_Timer()
{
    POINT cursor;
    GetCursorPos(&cursor);
    // An idle pointer costs one query and one comparison.
    if (cursor == LastCursor)
        return;
    LastCursor = cursor;
    ScreenToClient(this, &cursor);
    MoveEye(0, Eyes[0], float(cursor.x), float(cursor.y));
    MoveEye(1, Eyes[1], float(cursor.x), float(cursor.y));
}

void Form1::MoveEye(float Index, const EyeInfo &Eye, float X, float Y)
{
    Picture *pupil = this->Eye.at(size_t(qRound(Index)));
    const PupilPlace place = PlacePupil(Eye, X, Y, float(pupil->width()), float(pupil->height()));
    pupil->setPosition(place.left, place.top);
}

void Form1::Image1_MouseDown(int Button, int, float X, float Y)
{
    if (Button == 1) {
        // A second press during a drag keeps the anchor.
        if (Timer1Interval() > 0) {
            DragX = X;
            DragY = Y;
            m_dragStart = BeginDrag(this, X + float(Image1->x()), Y + float(Image1->y()));
            setTimer1Interval(0);
            m_dragWatch.start();
        }
    } else if (Button == 2) {
        mPopupMenu->popup(QCursor::pos());
    }
}

void Form1::Image1_MouseMove(int Button, int, float X, float Y)
{
    if (Button != 1 || Timer1Interval() != 0)
        return;
    // Keep the pressed point of the head under the pointer.
    DragWindow(this, m_dragStart, X, Y);
}

void Form1::Image1_MouseUp(int Button, int, float, float)
{
    if (Button == 1 && Timer1Interval() == 0)
        endDrag();
}

void Form1::resumeDrag()
{
    if (Timer1Interval() == 0 && IsLeftButtonDown())
        Image1->grabMouse();
}

void Form1::endDrag()
{
    m_dragWatch.stop();
    if (QWidget::mouseGrabber() == Image1)
        Image1->releaseMouse();
    setTimer1Interval(TickInterval);
}

void Form1::checkDragButton()
{
    // The release can go astray, to a menu or a program that grabbed the
    // pointer; the drag still ends once the button is up.
    if (Timer1Interval() == 0 && !IsLeftButtonDown())
        endDrag();
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    const bool press = type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick;
    const bool release = type == QEvent::MouseButtonRelease;
    if (watched != Image1 || !(press || release || type == QEvent::MouseMove))
        return QWidget::eventFilter(watched, event);

    const auto *mouse = static_cast<QMouseEvent *>(event);
    // The pupils lie over the head and take what lands on them, doing
    // nothing with it.
    if (press && isOnPupil(mouse->position()))
        m_pupilPressed = true;
    if (m_pupilPressed) {
        if (release && mouse->buttons() == Qt::NoButton)
            m_pupilPressed = false;
        return true;
    }
    const int shift = shiftCode(mouse->modifiers());
    const QPointF at = mouse->position();
    if (press) {
        Image1_MouseDown(buttonCode(mouse->button()), shift, float(at.x()), float(at.y()));
    } else if (release) {
        Image1_MouseUp(buttonCode(mouse->button()), shift, float(at.x()), float(at.y()));
    } else {
        const QPointF screen = mouse->globalPosition();
        Image1_MouseMove(buttonCode(mouse->buttons()), shift, float(screen.x()), float(screen.y()));
    }
    return true;
}

bool Form1::isOnPupil(const QPointF &imagePoint) const
{
    const QPoint point = Image1->mapToParent(imagePoint.toPoint());
    return std::any_of(Eye.begin(), Eye.end(),
        [&](const Picture *pupil) { return pupil->geometry().contains(point); });
}

void Form1::keyPressEvent(QKeyEvent *event)
{
    // The keyboard's way into the menu: it opens on the head.
    const bool menuKey = event->key() == Qt::Key_Menu
        || (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier);
    if (menuKey && !mPopupMenu->isVisible())
        mPopupMenu->popup(mapToGlobal(QPoint(width() / 2, height() / 3)));
    else
        QWidget::keyPressEvent(event);
}

// In the topmost band or out of it, as the check mark says.
void Form1::applyStacking()
{
    SetWindowPos(this, mAlwaysOnTop->isChecked() ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
        SWP_NOMOVE | SWP_NOSIZE);
}

void Form1::mAlwaysOnTop_Click()
{
    // Qt flips the check mark of a checkable item before it reports the click.
    applyStacking();
}

void Form1::mAbout_Click()
{
    Form2 *about = Form2::load(this, mAlwaysOnTop->isChecked());
    about->show();
    about->raise();
    about->activateWindow();
}

void Form1::mExit_Click()
{
    QCoreApplication::exit(0);
}

void Form1::closeEvent(QCloseEvent *event)
{
    // Closing the head from the window manager ends the program like Exit
    // instead of leaving it running without a window.
    event->accept();
    mExit_Click();
}

#include "desktop.h"

#include "x11.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QPointer>
#include <QPolygon>
#include <QProcess>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <QWindow>
#include <cstdio>
#include <cstring>

namespace {

// What X11 keeps per native window (the shapes, the skip-taskbar state) is
// lost when Qt re-creates the window, so it is kept on the widget and handed
// to every native window the widget gets.
const char *const RegionProperty = "_oglon_region";
const char *const SkipTaskbarProperty = "_oglon_skip_taskbar";

// The shapes are in device pixels: they are laid again whenever the window
// moves to a screen of another density.
void applyShapes(QWidget *window)
{
    const QVariant region = window->property(RegionProperty);
    if (region.isValid() && window->internalWinId())
        X11::setShapes(
            window->internalWinId(), region.value<HRGN>().scaled(window->devicePixelRatioF()));
}

void applyNativeState(QWidget *window)
{
    const WId id = window->internalWinId();
    if (!id)
        return;
    applyShapes(window);
    if (window->property(SkipTaskbarProperty).toBool())
        X11::addSkipTaskbarState(id);
}

// On a monitor of another density the window takes its size there too: Qt
// resizes it only when the change reaches it between moves, not in the
// middle of a fast drag.
void onNewScreen(QWidget *window)
{
    applyShapes(window);
    const QPointer<QWidget> watched(window);
    QTimer::singleShot(0, window, [watched] {
        if (watched && watched->internalWinId())
            X11::resizeTo(watched->internalWinId(),
                (QSizeF(watched->size()) * watched->devicePixelRatioF()).toSize());
    });
}

// The states the window manager is to keep for a window of ours.
QList<QByteArray> wantedStates(const QWidget *window)
{
    QList<QByteArray> states;
    if (window->property(SkipTaskbarProperty).toBool())
        states << "_NET_WM_STATE_SKIP_TASKBAR"
               << "_NET_WM_STATE_SKIP_PAGER";
    if (window->windowFlags() & Qt::WindowStaysOnTopHint)
        states << "_NET_WM_STATE_ABOVE";
    return states;
}

const QWidget *shownWindow(unsigned long id)
{
    const QWidget *window = QWidget::find(WId(id));
    return window && window->isWindow() && window->isVisible() ? window : nullptr;
}

// A window manager forgets a window's states when another client unmaps it
// (the window is withdrawn) and may be asked to map it again before the
// program can write them on it: whenever a window of ours is mapped, it asks
// for them again, one a request.
void restateWhenMapped(unsigned long id)
{
    const QWidget *window = shownWindow(id);
    if (!window)
        return;
    for (const QByteArray &state : wantedStates(window))
        X11::addState(id, state.constData());
    if (window->windowFlags() & Qt::WindowStaysOnTopHint)
        X11::setOnTopLayer(id, true);
}

// A window the program shows is not lost to another client unmapping it, nor
// to a window manager letting go of it on a false notice: it is mapped
// again, its states written on it first as on a new window.
void remapWithdrawn(unsigned long id)
{
    const QWidget *window = shownWindow(id);
    if (!window || window->isMinimized())
        return;
    X11::setStates(id, wantedStates(window));
    X11::mapWindow(id);
}

// A window kept off the taskbar has no button to bring it back from: when
// the window manager minimises it (IceWM's Alt+F9 does), it comes back.
void refuseMinimised(QWidget *window)
{
    if (!window->isMinimized() || !window->property(SkipTaskbarProperty).toBool())
        return;
    const QPointer<QWidget> watched(window);
    QTimer::singleShot(0, window, [watched] {
        if (watched && watched->isMinimized())
            watched->setWindowState(watched->windowState() & ~Qt::WindowMinimized);
    });
}

class NativeStateKeeper : public QObject
{
public:
    using QObject::QObject;

    static void watch(QWidget *window)
    {
        static NativeStateKeeper keeper;
        window->removeEventFilter(&keeper);
        window->installEventFilter(&keeper);
        X11::watchMapping(restateWhenMapped, remapWithdrawn);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *window = static_cast<QWidget *>(watched);
        if (event->type() == QEvent::WinIdChange)
            applyNativeState(window);
        else if (event->type() == QEvent::ScreenChangeInternal)
            onNewScreen(window);
        else if (event->type() == QEvent::WindowStateChange)
            refuseMinimised(window);
        return false;
    }
};

} // namespace

QRegion HRGN::scaled(qreal ratio) const
{
    QPolygon device;
    for (const QPoint &p : m_polygon)
        device << (QPointF(p) * ratio).toPoint();
    return QRegion(device, m_rule);
}

HRGN CreatePolygonRgn(const POINT *points, int count, int fillMode)
{
    QPolygon polygon;
    for (int i = 0; points && i < count; ++i)
        polygon << QPoint(points[i].x, points[i].y);
    return { polygon, fillMode == 2 ? Qt::WindingFill : Qt::OddEvenFill };
}

bool SetWindowRgn(HWND window, const HRGN &region, bool redraw)
{
    if (!window)
        return false;
    // On X11 both the drawn and the input shape are laid from the polygon in
    // device pixels, so that the cut-away parts let presses through to the
    // windows beneath and the two shapes agree at every scale. Qt's mask,
    // scaled rectangle by rectangle and laid on the native window after
    // ours, would disagree; it serves where there is no X11.
    if (!X11::available())
        window->setMask(region);
    window->setProperty(RegionProperty, QVariant::fromValue(region));
    NativeStateKeeper::watch(window);
    applyNativeState(window);
    if (redraw)
        window->update();
    return true;
}

bool SetWindowPos(HWND window, ZOrder insertAfter, int, int, int, int, unsigned)
{
    if (!window)
        return false;
    const bool topmost = insertAfter == HWND_TOPMOST;
    NativeStateKeeper::watch(window);
    if (!window->isVisible()) {
        // Before the first show the flag is simply part of the window's
        // design; Qt builds the native window with it.
        window->setWindowFlag(Qt::WindowStaysOnTopHint, topmost);
    } else {
        // QWidget::setWindowFlag would hide and re-create a shown window;
        // changing the flags in place keeps it mapped, with its id and state.
        Qt::WindowFlags windowFlags = window->windowFlags();
        windowFlags.setFlag(Qt::WindowStaysOnTopHint, topmost);
        window->overrideWindowFlags(windowFlags);
        if (QWindow *handle = window->windowHandle())
            handle->setFlags(windowFlags);
        // IceWM also puts a window that starts above others in the old GNOME
        // layer, and keeps it there until that layer is changed too.
        X11::setOnTopLayer(window->internalWinId(), topmost);
        // Without a window manager nobody keeps it up: raise it now at least.
        if (topmost)
            window->raise();
    }
    return true;
}

bool ShellExecuteA(HWND window, const char *operation, const char *file, const char *, const char *,
    int, const std::function<void()> &failed)
{
    if (!operation || !file || std::strcmp(operation, "open") != 0)
        return false;
    const QUrl url(QString::fromLocal8Bit(file));
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    // xdg-open is asked directly, with the URL as its one argument and no
    // shell, so that its verdict can be heard: it fails when it finds no
    // program for the scheme. It may run as long as the browser it started.
    auto *opener = new QProcess(qApp);
    opener->setProcessChannelMode(QProcess::ForwardedChannels);
    // Told from the event loop: a missing opener is reported within start().
    const auto report = [window = QPointer<QWidget>(window), failed] {
        if (window && failed)
            QTimer::singleShot(0, window, failed);
    };
    QObject::connect(opener, &QProcess::finished, opener,
        [opener, report](int code, QProcess::ExitStatus status) {
            if (code != 0 || status != QProcess::NormalExit)
                report();
            opener->deleteLater();
        });
    QObject::connect(
        opener, &QProcess::errorOccurred, opener, [opener, report](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart) {
                report();
                opener->deleteLater();
            }
        });
    opener->start(QStringLiteral("xdg-open"), { QString::fromUtf8(url.toEncoded()) });
    return true;
#else
    const bool opened = QDesktopServices::openUrl(url);
    if (!opened && failed && window)
        QTimer::singleShot(0, window, failed);
    return opened;
#endif
}

bool DrawPixels(HWND window, QPoint at, const QImage &pixels)
{
    return window && window->internalWinId() && X11::putImage(window->internalWinId(), at, pixels);
}

void FlushDrawing()
{
    X11::flush();
}

bool IsLeftButtonDown()
{
    if (const auto down = X11::leftButtonDown())
        return *down;
    return QGuiApplication::mouseButtons() & Qt::LeftButton;
}

void SkipTaskbar(HWND window)
{
    if (!window)
        return;
    window->setProperty(SkipTaskbarProperty, true);
    NativeStateKeeper::watch(window);
    applyNativeState(window);
}

namespace {

// Where the drag started, in device pixels as the server sees them: the
// client area's corner and the pressed point on the screen; and the pressed
// client point for platforms without X11.
struct DragStart
{
    QPoint client;
    QPoint pointer;
    QPointF pressed;
    bool native = false;
} dragStart;

// A screen point in device pixels. Qt keeps each screen's corner where it
// is and scales the rest of the screen by the screen's own ratio.
QPoint toDevice(const QPointF &logical)
{
    const QScreen *screen = QGuiApplication::screenAt(logical.toPoint());
    if (!screen)
        return logical.toPoint();
    const QPointF origin = screen->geometry().topLeft();
    return (origin + (logical - origin) * screen->devicePixelRatio()).toPoint();
}

} // namespace

void BeginDrag(HWND window, float x, float y)
{
    dragStart.pressed = { x, y };
    dragStart.native = false;
    if (!window || !window->internalWinId())
        return;
    // The server's word for the client area's place: the toolkit's idea of
    // the frame round it may lag behind the window manager.
    if (const auto answer = X11::queryPointer(window->internalWinId())) {
        dragStart.client = answer->root - answer->window;
        dragStart.pointer
            = dragStart.client + (dragStart.pressed * window->devicePixelRatioF()).toPoint();
        dragStart.native = true;
    }
}

void DragWindow(HWND window, float x, float y)
{
    if (!window)
        return;
    // Device pixels: the toolkit's logical coordinates jump where monitors of
    // different density meet.
    if (dragStart.native) {
        X11::moveClientTo(window->internalWinId(),
            dragStart.client + toDevice(QPointF(x, y)) - dragStart.pointer);
        return;
    }
    const QPoint client = (QPointF(x, y) - dragStart.pressed).toPoint();
    window->move(client - (window->geometry().topLeft() - window->pos()));
}

namespace {

// The region's extent on the screen, in logical pixels.
QRect regionOnScreen(QWidget *window)
{
    const QVariant region = window->property(RegionProperty);
    const QRect local
        = region.isValid() ? QRegion(region.value<HRGN>()).boundingRect() : window->rect();
    return local.translated(window->geometry().topLeft());
}

int distance(const QRect &area, const QPoint &point)
{
    const int dx = qMax(qMax(area.left() - point.x(), point.x() - area.right()), 0);
    const int dy = qMax(qMax(area.top() - point.y(), point.y() - area.bottom()), 0);
    return dx + dy;
}

void bringOntoScreen(QWidget *window)
{
    const QRect extent = regionOnScreen(window);
    const QScreen *nearest = nullptr;
    for (const QScreen *screen : QGuiApplication::screens()) {
        if (screen->geometry().contains(extent))
            return;
        if (!nearest
            || distance(screen->geometry(), extent.center())
                < distance(nearest->geometry(), extent.center()))
            nearest = screen;
    }
    if (!nearest)
        return;
    const QRect area = nearest->geometry();
    const QPoint to(qBound(area.left(), extent.left(), area.right() + 1 - extent.width()),
        qBound(area.top(), extent.top(), area.bottom() + 1 - extent.height()));
    window->move(window->pos() + to - extent.topLeft());
}

} // namespace

void KeepOnScreen(HWND window)
{
    if (!window)
        return;
    // The window manager may move the window itself once the screens have
    // changed: look again once it has had its say.
    auto *settle = new QTimer(window);
    settle->setSingleShot(true);
    settle->setInterval(300);
    QObject::connect(settle, &QTimer::timeout, window, [window] { bringOntoScreen(window); });
    const auto changed = [settle] { settle->start(); };
    const auto watch = [window, changed](QScreen *screen) {
        QObject::connect(screen, &QScreen::geometryChanged, window, changed);
    };
    for (QScreen *screen : QGuiApplication::screens())
        watch(screen);
    QObject::connect(qApp, &QGuiApplication::screenAdded, window, [watch, changed](QScreen *s) {
        watch(s);
        changed();
    });
    QObject::connect(qApp, &QGuiApplication::screenRemoved, window, changed);
}

void QuitWhenDestroyed(HWND window)
{
    const QPointer<QWidget> watched(window);
    X11::watchDestroyed([watched](unsigned long id) {
        // Qt destroys native windows of its own when it re-creates them; only
        // the loss of the one the head has now ends the program.
        if (watched && id == watched->internalWinId())
            QCoreApplication::exit(0);
    });
}

bool CanOpenDisplay(const char *display)
{
    if (X11::canConnect(display))
        return true;
    const QByteArray name = display ? QByteArray(display) : qgetenv("DISPLAY");
    std::fprintf(stderr, "oglon: cannot open the X display '%s'\n", name.constData());
    return false;
}

void DisplayOpened()
{
    X11::endConnectCheck();
}

bool XServerGone()
{
    return X11::connectionBroken();
}

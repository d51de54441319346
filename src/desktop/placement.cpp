// Where the window lies: dragged with the pointer, and kept on a screen.
#include "desktop.h"
#include "windowkeeper.h"

#include "x11/x11.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>

namespace {

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

DragStart BeginDrag(HWND window, float x, float y)
{
    DragStart start;
    start.pressed = { x, y };
    if (!window || !window->internalWinId())
        return start;
    // The server's word for the client area's place: the toolkit's idea of
    // the frame round it may lag behind the window manager.
    if (const auto answer = X11::queryPointer(window->internalWinId())) {
        start.client = answer->root - answer->window;
        start.pointer = start.client + (start.pressed * window->devicePixelRatioF()).toPoint();
        start.native = true;
    }
    return start;
}

void DragWindow(HWND window, const DragStart &start, float x, float y)
{
    if (!window)
        return;
    // Device pixels: the toolkit's logical coordinates jump where monitors of
    // different density meet.
    if (start.native) {
        X11::moveClientTo(
            window->internalWinId(), start.client + toDevice(QPointF(x, y)) - start.pointer);
        return;
    }
    const QPoint client = (QPointF(x, y) - start.pressed).toPoint();
    window->move(client - (window->geometry().topLeft() - window->pos()));
}

namespace {

// The region's extent on the screen, in logical pixels.
QRect regionOnScreen(QWidget *window)
{
    const std::optional<HRGN> &region = WindowKeeper::of(window)->region();
    const QRect local = region ? QRegion(*region).boundingRect() : window->rect();
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

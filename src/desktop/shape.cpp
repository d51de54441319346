// The window's shape and its place in the stacking order.
#include "desktop.h"
#include "windowkeeper.h"

#include "x11/x11.h"

#include <QWidget>
#include <QWindow>
#include <cstdio>

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
    WindowKeeper::of(window)->setRegion(region);
    if (redraw)
        window->update();
    // Without SHAPE Qt cannot shape a window either: it shows whole.
    if (X11::available() && !X11::canShape()) {
        std::fprintf(stderr,
            "oglon: the X server offers Oglon no SHAPE extension; the head is shown as a "
            "rectangle\n");
        return false;
    }
    return true;
}

bool SetWindowPos(HWND window, ZOrder insertAfter, int, int, int, int, unsigned)
{
    if (!window)
        return false;
    const bool topmost = insertAfter == HWND_TOPMOST;
    // Mapped again or withdrawn, the window keeps its place in the band.
    WindowKeeper::of(window)->stackingAsked();
    if (!window->isVisible()) {
        // Before the first show the flag is simply part of the window's
        // design; Qt builds the native window with it.
        window->setWindowFlag(Qt::WindowStaysOnTopHint, topmost);
        return true;
    }
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
    return true;
}

#include "pointer.h"

#include "pointersource.h"

#include <QCursor>
#include <QWidget>

namespace {

// During a tick, the reading the pacer took for it; else a new one.
std::optional<CursorReading> readPointer(HWND window)
{
    const TickReading *tick = TickReading::current();
    if (tick && (!window || window == tick->window()))
        return tick->reading();
    return ActivePointerSource()->read(window);
}

} // namespace

bool GetCursorPos(POINT *point)
{
    if (!point)
        return false;
    if (const auto reading = readPointer(nullptr)) {
        *point = reading->screen;
        return true;
    }
    const QPoint pos = QCursor::pos();
    *point = { pos.x(), pos.y() };
    return true;
}

// The source is asked where the pointer is on the screen and in the window
// at the same moment; the difference is where the window's client area is
// now, whatever the toolkit believes while the window manager moves it. The
// point given need not be the pointer's.
bool ScreenToClient(HWND window, POINT *point)
{
    if (!window || !point)
        return false;
    if (const auto reading = readPointer(window)) {
        point->x -= reading->screen.x - reading->client.x;
        point->y -= reading->screen.y - reading->client.y;
        return true;
    }
    const QPoint client = window->mapFromGlobal(QPoint(point->x, point->y));
    *point = { client.x(), client.y() };
    return true;
}

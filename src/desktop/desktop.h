// The desktop services the program asks of its surroundings: window shape,
// stacking, the taskbar, dragging and the shell, with the POINT and region
// types they take. They are built on Qt and on src/x11/; the windows never
// see X11. Where the pointer is comes from src/pointer/.
#pragma once

#include "desktop/point.h"

#include <QImage>
#include <QPolygon>
#include <QRegion>
#include <functional>

class QWidget;
namespace X11 {
class Connection;
}

// A window handle is the top-level widget.
using HWND = QWidget *;

// A region is a value, so handing it to a window leaves nothing for the
// caller to free. It keeps the polygon it was made from: at a fractional
// device pixel ratio only the polygon itself, scaled, gives the pixels the
// window really covers; scaling a region rectangle by rectangle leaves gaps.
class HRGN
{
public:
    HRGN() = default;
    HRGN(const QPolygon &polygon, Qt::FillRule rule)
        : m_polygon(polygon)
        , m_rule(rule)
    { }

    HRGN translated(int dx, int dy) const { return { m_polygon.translated(dx, dy), m_rule }; }
    HRGN translated(const QPoint &by) const { return translated(by.x(), by.y()); }
    // The pixels covered at the given device pixel ratio.
    QRegion scaled(qreal ratio) const;
    operator QRegion() const { return scaled(1); }

private:
    QPolygon m_polygon;
    Qt::FillRule m_rule = Qt::OddEvenFill;
};

enum class ZOrder { HWND_TOPMOST = -1, HWND_NOTOPMOST = -2 };
constexpr ZOrder HWND_TOPMOST = ZOrder::HWND_TOPMOST;
constexpr ZOrder HWND_NOTOPMOST = ZOrder::HWND_NOTOPMOST;

constexpr unsigned SWP_NOSIZE = 0x1;
constexpr unsigned SWP_NOMOVE = 0x2;
constexpr int SW_SHOW = 5;

// A region covering the polygon (the fill mode is irrelevant for a polygon
// that does not cross itself; 0 and 1 mean odd-even, 2 winding).
HRGN CreatePolygonRgn(const POINT *points, int count, int fillMode);

// Only the region is drawn and receives pointer input from now on. Where the
// X server lets no window be shaped, says so on stderr and returns false: the
// window shows whole.
bool SetWindowRgn(HWND window, const HRGN &region, bool redraw);

// Joins or leaves the topmost band; nothing else changes. The program always
// passes SWP_NOMOVE | SWP_NOSIZE, so position, size and flags are not read.
// A mapped window is neither hidden nor re-created.
bool SetWindowPos(HWND window, ZOrder insertAfter, int x, int y, int cx, int cy, unsigned flags);

// Hands the target to the user's mail program or browser. No shell sees it.
// The answer comes later: `failed` runs once if no program could take it (no
// opener installed, or none set up for the scheme), unless the window is gone.
bool ShellExecuteA(HWND window, const char *operation, const char *file, const char *parameters,
    const char *directory, int showCommand, const std::function<void()> &failed = {});

// Puts 32-bit RGB pixels, or premultiplied ARGB ones, on a window without
// the toolkit's repaint: a few pixels cost one request.
class PixelWriter
{
public:
    PixelWriter() = default;
    ~PixelWriter();
    Q_DISABLE_COPY(PixelWriter)

    // The pixels' top-left at `at`, in the window's device pixels. False
    // where that cannot be done (no X server, a window whose pixels are laid
    // out otherwise); the caller then repaints the usual way.
    bool draw(HWND window, QPoint at, const QImage &pixels);

private:
    unsigned long m_window = 0; // the window the context was made for
    uint32_t m_context = 0; // 0: the window's pixels do not suit
    int m_depth = 0; // 24, or 32 for a window with alpha
};
// Sends what was drawn so far: the pixels of one tick leave together, in
// one write.
void FlushDrawing();

// Whether the left mouse button is held right now, as the server sees it.
bool IsLeftButtonDown();

// Keeps a window off the taskbar and the pager. Call before the first show.
// Having no button to be restored from, such a window never stays minimised.
// Whenever a window of ours is mapped again (another client may unmap and
// map it), the window manager is told its states again: these, and staying
// on top.
void SkipTaskbar(HWND window);

// A drag keeps the client area moving exactly with the pointer, in the
// screen's own pixels, whatever frame a window manager adds and whatever the
// density of the monitors it crosses. BeginDrag takes the press at (x, y) in
// client pixels; DragWindow follows the pointer, now at (x, y) on the screen,
// from where the drag began.
struct DragStart
{
    QPoint client; // the client area's corner, in the server's device pixels
    QPoint pointer; // the pressed point on the screen, likewise
    QPointF pressed; // the pressed client point, where there is no X11
    bool native = false; // the server's word for the two points above
};
DragStart BeginDrag(HWND window, float x, float y);
void DragWindow(HWND window, const DragStart &start, float x, float y);

// When the screens change (a monitor removed, a resolution lowered) and the
// window's region is no longer wholly on a screen, moves it fully onto the
// nearest one.
void KeepOnScreen(HWND window);

// Ends the program when another client destroys the window's native window.
void QuitWhenDestroyed(HWND window);

// Whether the X display the program is to use can be opened; `display` is
// the name given on the command line, or null for $DISPLAY. Says why not on
// stderr. The check's connection is held as long as the object: keep it
// until Qt has its own, since an X server resets when its last client leaves
// and drops a client that is connecting meanwhile.
class DisplayCheck
{
public:
    explicit DisplayCheck(const char *display);
    ~DisplayCheck();
    Q_DISABLE_COPY(DisplayCheck)

    bool opened() const;

private:
    X11::Connection *m_connection;
};

// Whether the X server the program runs on has gone away under it. Safe
// from any thread while the application lives.
bool XServerGone();

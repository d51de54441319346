// The one room that speaks the X protocol: what the toolkit has no API for,
// in the program's own terms. Window ids are the native ids Qt gives out.
// Each call does nothing (or returns nothing) when the program does not run
// on an X server.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QRegion>
#include <cstdint>
#include <optional>

struct xcb_connection_t;

namespace X11 {

bool available();

// Whether Qt's connection to the X server is broken: the server went away,
// or dropped the program. Safe from any thread while the application lives.
bool connectionBroken();

// A connection of the program's own to the X display `display` (null for
// $DISPLAY, which the program sets from -display).
class Connection
{
public:
    explicit Connection(const char *display = nullptr);
    ~Connection();
    Q_DISABLE_COPY(Connection)

    bool isOpen() const { return m_connection != nullptr; }
    xcb_connection_t *get() const { return m_connection; }

private:
    xcb_connection_t *m_connection = nullptr;
};

// Where the pointer is on the screen and relative to the window, in one
// question to the server. Device pixels; sameScreen is false while the
// pointer is on another X screen, where the window point means nothing.
// Window 0 stands for the root window.
struct Pointer
{
    QPoint root;
    QPoint window;
    bool sameScreen = true;
};
std::optional<Pointer> queryPointer(unsigned long window);

// Whether button 1 is held, from the server's pointer state.
std::optional<bool> leftButtonDown();

// Whether the server lets the program shape its windows: not without the
// SHAPE extension, which the server also hides from an untrusted client.
bool canShape();
// Sets the shape drawn and the input shape to the same device pixels.
void setShapes(unsigned long window, const QRegion &region);

// Asks the window manager to keep the window in the layer of windows that
// stay on top, or in the normal one, through the older GNOME layer hint as
// well: window managers that know both (IceWM) keep the layer that hint
// gave until it is changed the same way.
void setOnTopLayer(unsigned long window, bool onTop);

// Gives the window this size in device pixels, where it lies.
void resizeTo(unsigned long window, QSize size);

// Moves the window so that its client area's top-left lies at the root
// point (device pixels), whatever frame the window manager put round it.
void moveClientTo(unsigned long window, QPoint rootPoint);

void mapWindow(unsigned long window);

// The _NET_WM_STATE_* states (by name: "_NET_WM_STATE_ABOVE") of a window
// that is not mapped: they replace its states, or join them. The window
// manager reads them when it maps the window.
enum class StateChange { Replace, Append };
void setStates(unsigned long window, const QList<QByteArray> &states,
    StateChange change = StateChange::Replace);
// Asks the window manager to add a _NET_WM_STATE_* state to a mapped window.
void addState(unsigned long window, const char *state);
// Whether the window's _NET_WM_STATE holds `state`, as a window manager that
// keeps that state says; none where no such window manager runs, or while
// the window is not on the screen.
std::optional<bool> managedState(unsigned long window, const char *state);

// A graphics context for putting pixels on `window`, or 0 where its pixels
// are laid out otherwise than QImage holds them. `depth` receives the
// window's depth: 24 (pixels as QImage::Format_RGB32) or 32 (with alpha, as
// Format_ARGB32_Premultiplied).
uint32_t createPixelContext(unsigned long window, int *depth);
void freePixelContext(uint32_t context);
// Puts a Format_RGB32 or Format_ARGB32_Premultiplied image on the window at
// `at`, in device pixels, with a context made for it and the depth it gave;
// false for an image too big for one request.
bool putImage(unsigned long window, uint32_t context, int depth, QPoint at, const QImage &image);
// Sends the requests waiting on Qt's connection.
void flush();

} // namespace X11

// X11 calls for what the toolkit has no API for. Each returns false (or does
// nothing) when the program does not run on an X server.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QRegion>
#include <functional>
#include <optional>

namespace X11 {

bool available();

// Where the pointer is on the screen and relative to the window, in one
// question to the server. Device pixels; sameScreen is false while the
// pointer is on another X screen, where the window point means nothing.
struct Pointer
{
    QPoint root;
    QPoint window;
    bool sameScreen = true;
};
std::optional<Pointer> queryPointer(unsigned long window);

// Sets the shape drawn and the input shape to the same device pixels.
bool setShapes(unsigned long window, const QRegion &region);

// Asks the window manager to keep the window in the layer of windows that
// stay on top, or in the normal one, through the older GNOME layer hint as
// well: window managers that know both (IceWM) keep the layer that hint
// gave until it is changed the same way.
bool setOnTopLayer(unsigned long window, bool onTop);

// Gives the window this size in device pixels, where it lies.
bool resizeTo(unsigned long window, QSize size);

// Moves the window so that its client area's top-left lies at the root
// point (device pixels), whatever frame the window manager put round it.
bool moveClientTo(unsigned long window, QPoint rootPoint);

// Calls `destroyed` with the id of every window of ours that is destroyed,
// as the server reports it; notices other clients send in its name are
// dropped.
void watchDestroyed(const std::function<void(unsigned long)> &destroyed);
// Calls `mapped` with the id of every window of ours that is mapped, and
// `withdrawn` with that of every one left unmapped and unmanaged: unmapped
// by another client, or let go by a window manager.
void watchMapping(const std::function<void(unsigned long)> &mapped,
    const std::function<void(unsigned long)> &withdrawn);
bool mapWindow(unsigned long window);

// Whether an X display can be opened, asked on a connection of its own.
// That connection stays open until endConnectCheck(), called once Qt has
// its own: an X server resets when its last client leaves, and drops a
// client that is connecting meanwhile.
bool canConnect(const char *display);
void endConnectCheck();

// Whether Qt's connection to the X server is broken: the server went away,
// or dropped the program. Safe from any thread while the application lives.
bool connectionBroken();

// Adds _NET_WM_STATE_SKIP_TASKBAR and _NET_WM_STATE_SKIP_PAGER to a window
// that is not mapped yet; the window manager reads them when it maps it.
bool addSkipTaskbarState(unsigned long window);

// Sets the _NET_WM_STATE_* states of a window that is not mapped (by name:
// "_NET_WM_STATE_ABOVE"); the window manager reads them when it maps it.
bool setStates(unsigned long window, const QList<QByteArray> &states);
// Asks the window manager to add a _NET_WM_STATE_* state to a mapped window.
bool addState(unsigned long window, const char *state);

// Puts a Format_RGB32 image on a window of depth 24 whose pixels the server
// lays out the same way, at `at` in device pixels; false for any other.
bool putImage(unsigned long window, QPoint at, const QImage &image);
// Sends the requests waiting on Qt's connection.
void flush();

// Whether button 1 is held, from the server's pointer state.
std::optional<bool> leftButtonDown();

} // namespace X11

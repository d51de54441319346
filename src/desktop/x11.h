// X11 calls for what the toolkit has no API for. Each returns false (or does
// nothing) when the program does not run on an X server.
#pragma once

#include <QPoint>
#include <QRegion>
#include <optional>

class PointerSource;

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

// Sets the window's input shape, the area that receives pointer events.
bool setInputShape(unsigned long window, const QRegion &region);

// Adds _NET_WM_STATE_SKIP_TASKBAR and _NET_WM_STATE_SKIP_PAGER to a window
// that is not mapped yet; the window manager reads them when it maps it.
bool addSkipTaskbarState(unsigned long window);

// The X server's pointer source, or none without an X server. It reports
// motion where the server offers XInput2 raw events (2.2 or later, so that
// motion during another client's pointer grab is seen) and is polled where
// not. OGLON_POLL_POINTER=1 makes it a polled one everywhere, for tests.
PointerSource *createPointerSource();

// Whether button 1 is held, from the server's pointer state.
std::optional<bool> leftButtonDown();

} // namespace X11

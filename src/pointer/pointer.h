// Where the pointer is and when it moves. This room holds the program's two
// pointer calls (GetCursorPos, ScreenToClient), the pointer sources behind
// them (the X server's, the compositor's, Qt's poll where neither is there),
// the choice of the active source with its fallback, and the tick pacer that
// turns the source's motion into the head's ticks. It is built on the
// desktop services and src/x11/; nothing there or in the head calls back in
// here except through these calls and the pacer.
#pragma once

#include "desktop/desktop.h"

// The pointer's position in screen pixels, from the active pointer source.
bool GetCursorPos(POINT *point);

// Rewrites a screen point in the client pixels of the window. The active
// pointer source is asked (on X11, the server), so the answer holds even
// while the toolkit's idea of the window's place lags behind the window
// manager. Within a tick of the pacer both answer from the one reading the
// tick took; elsewhere each call asks on its own.
bool ScreenToClient(HWND window, POINT *point);

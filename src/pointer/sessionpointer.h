// Which pointer source the session the program finds calls for.
#pragma once

#include "desktop/desktop.h"

// Where the program takes the pointer from in the session it finds.
enum class PointerChoice {
    XServer, // an X11 session: the X server sees the pointer everywhere
    KWin, // Plasma Wayland: from KWin's script
    GnomeShell, // GNOME on Wayland: from Oglon's Shell extension
    CursorSession, // another Wayland desktop: from its cursor session, if it has one
    X11WindowsOnly, // the same, in a build without the cursor session: the X
                    // server, over X11 windows only
};
PointerChoice ChoosePointerSource(
    bool waylandSession, bool onX11, bool kwinOnBus, bool gnomeShellOnBus = false);

// In a Wayland session, takes the pointer from the compositor when it can and
// says on stderr where the pointer comes from, and again whenever that
// changes. Nothing in an X11 session.
void FollowPointerInWaylandSession(HWND head, bool waylandSession);

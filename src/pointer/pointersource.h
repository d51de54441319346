// Where the pointer is, and when it may have moved. The head asks through
// GetCursorPos and ScreenToClient; behind them stands one pointer source at a
// time (the X server, or the compositor where the X server cannot see the
// pointer), chosen at start and replaced when it stops working.
#pragma once

#include "desktop/desktop.h"

#include <QObject>
#include <optional>

// One answer about the pointer: its place on the screen and in the client
// area of the window it was asked for, both in logical pixels.
struct CursorReading
{
    POINT screen;
    POINT client;
};

class PointerSource : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Where the pointer is now, for the given window; none when the source
    // cannot tell at the moment.
    virtual std::optional<CursorReading> read(HWND window) = 0;

    // Whether moved() reports motion; a source that cannot must be polled.
    virtual bool reportsMotion() const = 0;
    // Starts or stops reporting motion through moved(); nothing for a polled
    // source. Listening costs nothing while the pointer rests.
    virtual void listen(bool on) = 0;

    // A short name for the one line on stderr that says which source is used.
    virtual QString name() const = 0;

signals:
    // The pointer may have moved since the last read().
    void moved();
    // The source stopped working for good; the program falls back to another.
    void lost();
};

// The source that GetCursorPos, ScreenToClient and the head's tick pacer use:
// the X server's unless another was set.
PointerSource *ActivePointerSource();
// Puts `source` in use (the caller keeps ownership); the pacer follows at
// once. When it emits lost() or is destroyed, the X server's source takes
// over again; nullptr goes back to it as well.
void SetActivePointerSource(PointerSource *source);

// Reads the active source. Every reading the program takes goes through here
// (GetCursorPos, ScreenToClient), so that the tick pacer can tell whether a
// tick found the pointer somewhere new without asking the source again.
std::optional<CursorReading> ReadPointer(HWND window);
// How many readings so far found the pointer's screen point changed since the
// reading before. Only compared, never used as an answer.
quint64 PointerMovesSeen();

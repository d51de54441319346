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
    // Has the next reading for `window` ready `milliseconds` from now, and
    // with `wake`, says so by due(), at which the pacer reads it; without,
    // the pacer reads it at that time. False where the source cannot time
    // its readings; the pacer then reads at its time as it comes.
    virtual bool readIn(HWND window, int milliseconds, bool wake)
    {
        Q_UNUSED(window);
        Q_UNUSED(milliseconds);
        Q_UNUSED(wake);
        return false;
    }

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
    // The reading asked for by readIn() is ready.
    void due();
    // The source stopped working for good; the program falls back to another.
    void lost();
};

// The source that GetCursorPos, ScreenToClient and the tick pacers use: the X
// server's unless another was set.
PointerSource *ActivePointerSource();
// The source the program falls back to: the X server's (Qt's without one).
PointerSource *FallbackPointerSource();
// Puts `source` in use (the caller keeps ownership). When it emits lost() or
// is destroyed, the X server's source takes over again; nullptr goes back to
// it as well.
void SetActivePointerSource(PointerSource *source);

// Tells whoever follows the active source (the pacers) that another one took
// over.
class PointerSourceSwitch : public QObject
{
    Q_OBJECT

public:
    static PointerSourceSwitch *instance();

signals:
    void changed(PointerSource *source);
};

// While a tick runs, GetCursorPos and ScreenToClient for its window answer
// from the one reading the pacer took for it instead of asking the source
// again: one question per tick gives both the screen and the client point.
class TickReading
{
public:
    TickReading(HWND window, const std::optional<CursorReading> &reading);
    ~TickReading();
    TickReading(const TickReading &) = delete;
    TickReading &operator=(const TickReading &) = delete;

    // The tick under way, if one is.
    static const TickReading *current();
    HWND window() const { return m_window; }
    const std::optional<CursorReading> &reading() const { return m_reading; }

private:
    HWND m_window;
    std::optional<CursorReading> m_reading;
    const TickReading *m_outer;
};

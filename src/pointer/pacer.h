// The head's tick, paced by the pointer: a tick when the pointer has moved,
// at most one per 100 ms while it moves, and none while it rests but a few
// checks that catch a warp. The pacer alone decides when the pointer is read
// next; a source that can have the reading taken at that time (the X
// server, on its own clock) does so, otherwise the pacer's timer reads it.
// Reads like a QTimer (interval(), start(), stop(), timeout()), so the
// head's code does not change with the pointer source behind it.
#pragma once

#include "pointer/pointersource.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

class TickPacer : public QObject
{
    Q_OBJECT

public:
    // Ticks for `window`: each tick reads the pointer once, for that window,
    // and GetCursorPos and ScreenToClient answer from that reading during it.
    explicit TickPacer(QWidget *window = nullptr, QObject *parent = nullptr);
    ~TickPacer() override;

    // The shortest time between two ticks while the pointer moves, and the
    // poll interval of a source that cannot report motion.
    int interval() const { return m_interval; }
    void setInterval(int milliseconds);
    bool isActive() const { return m_active; }
    // Ticks as soon as the event loop runs (the pointer may have moved while
    // the pacer stood still), then as the pointer moves.
    void start(int milliseconds);
    void start();
    void stop();

signals:
    void timeout();

private:
    void follow(PointerSource *source);
    void useSource(PointerSource *source);
    bool tick();
    void readIn(int milliseconds);
    void listen(bool on);
    void onMoved();
    void onDue();
    void onTimer();

    QPointer<QWidget> m_window;
    int m_interval = 100;
    bool m_active = false;
    bool m_listening = false;
    // How many checks in a row found the pointer at rest.
    int m_restChecks = 0;
    // The next reading: taken by the source at its time, or by this timer;
    // for a reading the source takes, the timer stands by in case its
    // answer comes late.
    QTimer m_timer;
    bool m_sourceReads = false;
    QElapsedTimer m_sinceMove; // since the last tick that found the pointer moved
    QPointer<PointerSource> m_source;
    // The screen point of the last reading, to tell whether a tick found the
    // pointer somewhere new.
    std::optional<POINT> m_lastScreen;
};

// Follows a resting pointer for the X server's source at the cost of one
// wake-up per check. A warp (a program setting the pointer's place) makes no
// motion event, so a resting pointer must be looked at now and then. Asking
// on Qt's connection wakes the program three times (the timer, Qt's reader
// thread taking the answer, the main thread handed it). The watch asks on a
// connection of its own that no thread reads, and has the server hold each
// question until it is due (SYNC's Await on the server's clock): the program
// sleeps until the answer comes, and wakes once, to read it.
#pragma once

#include <QObject>
#include <QPoint>
#include <QSocketNotifier>
#include <deque>
#include <memory>
#include <xcb/xcb.h>

// The X server's clock (SYNC's SERVERTIME counter, in milliseconds), with
// SYNC set up on `c`; 0 where the server has none.
uint32_t ServerClock(xcb_connection_t *c);

class WarpWatch : public QObject
{
    Q_OBJECT

public:
    // None where the X server has no SYNC clock or no connection opens.
    static std::unique_ptr<WarpWatch> create();
    ~WarpWatch() override;

    // Watches from `rootPoint` (device pixels), the pointer's place as last
    // read: checks after 200, 400 and 800 ms, then every 2 s.
    void start(QPoint rootPoint);
    // Stops watching; the checks still held by the server are answered at
    // once, and ignored.
    void stop();
    // Whether it still works; it stops for good on any error.
    bool working() const { return m_working; }

signals:
    // The pointer is elsewhere than when the watch started, or it stopped
    // working (a reader should look for itself).
    void moved();

private:
    WarpWatch(xcb_connection_t *connection, uint32_t clock);
    void askAhead();
    void onReadable();
    void breakDown();

    xcb_connection_t *m_connection;
    xcb_window_t m_root;
    uint32_t m_clock; // the server's SERVERTIME counter
    uint32_t m_release; // a counter of ours: set, it ends every wait
    uint32_t m_generation = 1; // its next value
    QSocketNotifier m_notifier;
    QPoint m_from;
    std::deque<unsigned int> m_pending; // the queries the server holds
    bool m_watching = false;
    bool m_working = true;
    int m_checks = 0;
};

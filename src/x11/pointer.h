// The pointer as the X server tells it: motion as it happens, and where the
// pointer is at a moment of the program's choosing.
#pragma once

#include "x11.h"

#include <QAbstractNativeEventFilter>
#include <QElapsedTimer>
#include <QObject>
#include <QSocketNotifier>
#include <memory>

namespace X11 {

// Pointer motion as XInput2 raw events on the root window, on Qt's
// connection: from XInput 2.2 on they come during another client's pointer
// grab too. Not available on an older server, or with OGLON_POLL_POINTER=1
// (for tests).
class RawMotion : public QObject, public QAbstractNativeEventFilter
{
    Q_OBJECT

public:
    RawMotion();
    ~RawMotion() override;

    bool available() const { return m_opcode != 0; }
    // Motion costs nothing while nobody listens.
    void listen(bool on);

    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *) override;

signals:
    void moved();

private:
    uint8_t m_opcode = 0;
    bool m_listening = false;
};

// One question about the pointer at a time, on a connection of the
// program's own, answered by the X server just before the moment the
// program names:
// the server holds the question (SYNC's Await on SERVERTIME, its own clock,
// which no client can set) until then. The answer wakes the program once,
// when it comes; nothing ever waits for it.
class TimedPointerQuery : public QObject
{
    Q_OBJECT

public:
    TimedPointerQuery();
    ~TimedPointerQuery() override;

    // Asks where the pointer is relative to `window` (0: the root window),
    // to be answered a little before `milliseconds` from now. With `wake`,
    // the answer wakes the program and answered() follows; without, take()
    // finds it when it is wanted, and the program sleeps on until then. A question
    // still held past that time is dropped. False where the server keeps no
    // clock, no connection of the program's own opens, or the question
    // before is answered first: anything asked now would wait behind it.
    bool ask(unsigned long window, int milliseconds, bool wake);
    // The last answer, if it is for `window` and came at most `freshness`
    // milliseconds ago; each answer is taken once.
    std::optional<Pointer> take(unsigned long window, int freshness);

signals:
    void answered();

private:
    bool open();
    bool collect();
    void onReadable();
    void close();

    std::unique_ptr<Connection> m_connection;
    std::unique_ptr<QSocketNotifier> m_notifier;
    bool m_opened = false; // tried to open
    uint32_t m_clock = 0; // the server's SERVERTIME counter
    std::optional<unsigned int> m_held; // the question the server holds
    unsigned long m_heldWindow = 0;
    int m_heldFor = 0; // its answer's time, in ms after it was asked
    QElapsedTimer m_sinceAsked;
    std::optional<Pointer> m_answer;
    unsigned long m_answerWindow = 0;
    QElapsedTimer m_sinceAnswer;
};

} // namespace X11

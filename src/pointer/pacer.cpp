#include "pacer.h"

#include "desktop/desktop.h"

namespace {

// After motion stops, the pointer is checked again at growing intervals
// (200, 400, 800 ms, then every 2 s): a warp moves the pointer without any
// motion a source could report, and is followed within the longest of them.
constexpr int LongestQuietCheck = 2000;

int quietCheckDelay(int interval, int quietChecks)
{
    const int delay = interval << qMin(quietChecks, 4);
    return delay > 8 * interval ? LongestQuietCheck : delay;
}

} // namespace

TickPacer::TickPacer(QWidget *window, QObject *parent)
    : QObject(parent)
    , m_window(window)
{
    // A coarse timer may fire early, and two ticks come closer than the
    // interval.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &TickPacer::onCheck);
    connect(
        PointerSourceSwitch::instance(), &PointerSourceSwitch::changed, this, &TickPacer::follow);
}

TickPacer::~TickPacer()
{
    stop();
}

void TickPacer::setInterval(int milliseconds)
{
    m_interval = qMax(1, milliseconds);
}

void TickPacer::start(int milliseconds)
{
    setInterval(milliseconds);
    start();
}

void TickPacer::start()
{
    m_active = true;
    useSource(ActivePointerSource());
    m_quietChecks = 0;
    // The pointer may have moved while the pacer stood still: a tick as soon
    // as the event loop runs (after the window is shown, at the start).
    schedule(0);
}

void TickPacer::stop()
{
    m_active = false;
    m_timer.stop();
    m_quietChecks = 0;
    if (m_listening && m_source)
        m_source->listen(false);
    m_listening = false;
}

// Another source took over: the pacer stops listening to the one before and
// starts again with the new one.
void TickPacer::follow(PointerSource *source)
{
    useSource(source);
    if (m_active)
        start();
}

void TickPacer::useSource(PointerSource *source)
{
    if (m_source == source)
        return;
    if (m_source) {
        disconnect(m_source, nullptr, this, nullptr);
        if (m_listening)
            m_source->listen(false);
    }
    m_listening = false;
    m_source = source;
    if (m_source)
        connect(m_source, &PointerSource::moved, this, &TickPacer::onMoved);
}

// One reading for the whole tick; whether it found the pointer somewhere new.
bool TickPacer::tick()
{
    m_sinceTick.start();
    std::optional<CursorReading> reading;
    if (m_source)
        reading = m_source->read(m_window);
    const bool moved = reading && (!m_lastScreen || reading->screen != *m_lastScreen);
    if (reading)
        m_lastScreen = reading->screen;
    const TickReading during(m_window, reading);
    emit timeout();
    // What the tick drew goes out in one write.
    FlushDrawing();
    return moved;
}

// The next check in `milliseconds`, and every as many after it until told
// otherwise: while the pointer moves, the ticks keep one running timer, and
// the source may have its answer ready when the timer fires.
void TickPacer::schedule(int milliseconds)
{
    if (!m_timer.isActive() || m_timer.interval() != milliseconds)
        m_timer.start(milliseconds);
    // Only while the pointer moves: at rest, motion may call the next tick
    // long before this one.
    if (m_source && milliseconds > 0 && !m_listening)
        m_source->readAhead(m_window, m_timer.remainingTime());
}

void TickPacer::listen(bool on)
{
    if (m_listening == on || !m_source)
        return;
    m_listening = on;
    m_source->listen(on);
}

void TickPacer::onMoved()
{
    // Motion still queued from before the pacer stopped listening changes
    // nothing: a check is already due.
    if (!m_active || !m_listening)
        return;
    // One report is enough; the checks follow the rest of the motion.
    listen(false);
    m_quietChecks = 0;
    const qint64 since = m_sinceTick.isValid() ? m_sinceTick.elapsed() : m_interval;
    if (since >= m_interval) {
        tick();
        schedule(m_interval);
    } else {
        schedule(int(m_interval - since));
    }
}

void TickPacer::onCheck()
{
    if (!m_active) {
        m_timer.stop();
        return;
    }
    const bool moved = tick();
    if (!m_source || !m_source->reportsMotion()) {
        schedule(m_interval);
        return;
    }
    if (moved) {
        listen(false);
        m_quietChecks = 0;
        schedule(m_interval);
        return;
    }
    // At rest: motion wakes the pacer from now on. Motion between this
    // check and the start of listening is caught by the next check, which
    // the source makes itself where it follows warps.
    listen(true);
    ++m_quietChecks;
    if (m_source->followsWarps())
        m_timer.stop();
    else
        schedule(quietCheckDelay(m_interval, m_quietChecks));
}

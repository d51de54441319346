#include "pacer.h"

#include "desktop/desktop.h"

#include <iterator>

namespace {

// Once the pointer rests, it is looked at again after these pauses (ms), the
// last one over and over: a warp moves the pointer without any motion a
// source could report, and is followed within the longest of them.
constexpr int RestChecks[] = { 200, 400, 800, 2000 };

int restCheck(int checks)
{
    return RestChecks[qMin(checks, int(std::size(RestChecks)) - 1)];
}

// How late a reading the source times may come before the pacer reads the
// pointer itself.
constexpr int LateReading = 20;

} // namespace

TickPacer::TickPacer(QWidget *window, QObject *parent)
    : QObject(parent)
    , m_window(window)
{
    // A coarse timer may fire early, and two ticks come closer than the
    // interval.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &TickPacer::onTimer);
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
    m_restChecks = 0;
    // The pointer may have moved while the pacer stood still: a tick as soon
    // as the event loop runs (after the window is shown, at the start).
    readIn(0);
}

void TickPacer::stop()
{
    m_active = false;
    m_timer.stop();
    m_sourceReads = false;
    m_restChecks = 0;
    listen(false);
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
    m_sourceReads = false;
    m_source = source;
    if (m_source) {
        connect(m_source, &PointerSource::moved, this, &TickPacer::onMoved);
        connect(m_source, &PointerSource::due, this, &TickPacer::onDue);
    }
}

// One reading for the whole tick; whether it found the pointer somewhere new.
bool TickPacer::tick()
{
    std::optional<CursorReading> reading;
    if (m_source)
        reading = m_source->read(m_window);
    const bool moved = reading && (!m_lastScreen || reading->screen != *m_lastScreen);
    if (reading)
        m_lastScreen = reading->screen;
    // Ticks that move the pupils keep their distance; a rest check that
    // found nothing new does not hold back the motion that follows it.
    if (moved)
        m_sinceMove.start();
    const TickReading during(m_window, reading);
    emit timeout();
    // What the tick drew goes out in one write.
    FlushDrawing();
    return moved;
}

// The next reading, `milliseconds` from now. While the pointer moves the
// timer wakes the pacer, and a source that can time a reading has it taken
// just before: the server's burst of work for the answer does not meet the
// tick's own. Steady ticks keep one running timer. At rest such a source's
// answer wakes the pacer instead, with the timer standing by for a late one.
void TickPacer::readIn(int milliseconds)
{
    m_sourceReads = milliseconds > 0 && m_source
        && m_source->readIn(m_window, milliseconds, m_listening) && m_listening;
    const int wait = m_sourceReads ? milliseconds + LateReading : milliseconds;
    if (m_sourceReads || !m_timer.isActive() || m_timer.interval() != wait)
        m_timer.start(wait);
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
    // nothing: a reading is already due.
    if (!m_active || !m_listening)
        return;
    // One report is enough; the readings follow the rest of the motion.
    listen(false);
    m_restChecks = 0;
    const qint64 since = m_sinceMove.isValid() ? m_sinceMove.elapsed() : m_interval;
    if (since >= m_interval) {
        tick();
        readIn(m_interval);
    } else {
        readIn(int(m_interval - since));
    }
}

// The source has the reading the pacer asked for.
void TickPacer::onDue()
{
    if (m_sourceReads)
        onTimer();
}

void TickPacer::onTimer()
{
    m_sourceReads = false;
    if (!m_active) {
        m_timer.stop();
        return;
    }
    const bool moved = tick();
    if (!m_source || !m_source->reportsMotion()) {
        readIn(m_interval);
    } else if (moved) {
        listen(false);
        m_restChecks = 0;
        readIn(m_interval);
    } else {
        // At rest: motion wakes the pacer from now on, and a few checks
        // catch a warp. Motion between this reading and the start of
        // listening is caught by the first check.
        listen(true);
        readIn(restCheck(m_restChecks++));
    }
}

#include "pacer.h"

#include "pointersource.h"

#include <QList>

namespace {

QList<TickPacer *> &pacers()
{
    static QList<TickPacer *> all;
    return all;
}

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

TickPacer::TickPacer(QObject *parent)
    : QObject(parent)
{
    mTimer.setSingleShot(true);
    // A coarse timer may fire early, and two ticks come closer than the
    // interval.
    mTimer.setTimerType(Qt::PreciseTimer);
    connect(&mTimer, &QTimer::timeout, this, &TickPacer::onCheck);
    pacers().append(this);
}

TickPacer::~TickPacer()
{
    pacers().removeAll(this);
    stop();
}

void TickPacer::setInterval(int milliseconds)
{
    mInterval = qMax(1, milliseconds);
}

void TickPacer::start(int milliseconds)
{
    setInterval(milliseconds);
    start();
}

void TickPacer::start()
{
    mActive = true;
    useSource(ActivePointerSource());
    mQuietChecks = 0;
    // The pointer may have moved while the pacer stood still: a tick as soon
    // as the event loop runs (after the window is shown, at the start).
    schedule(0);
}

void TickPacer::stop()
{
    mActive = false;
    mTimer.stop();
    mQuietChecks = 0;
    if (mListening && mSource)
        mSource->listen(false);
    mListening = false;
}

void TickPacer::followActiveSource()
{
    for (TickPacer *pacer : pacers()) {
        pacer->useSource(ActivePointerSource());
        if (pacer->isActive())
            pacer->start();
    }
}

void TickPacer::useSource(PointerSource *source)
{
    if (mSource == source)
        return;
    if (mSource) {
        disconnect(mSource, nullptr, this, nullptr);
        if (mListening)
            mSource->listen(false);
    }
    mListening = false;
    mSource = source;
    if (mSource)
        connect(mSource, &PointerSource::moved, this, &TickPacer::onMoved);
}

// Whether the tick found the pointer somewhere new.
bool TickPacer::tick()
{
    const quint64 before = PointerMovesSeen();
    mSinceTick.start();
    emit timeout();
    return PointerMovesSeen() != before;
}

void TickPacer::schedule(int milliseconds)
{
    mTimer.start(milliseconds);
}

void TickPacer::listen(bool on)
{
    if (mListening == on || !mSource)
        return;
    mListening = on;
    mSource->listen(on);
}

void TickPacer::onMoved()
{
    // Motion still queued from before the pacer stopped listening changes
    // nothing: a check is already due.
    if (!mActive || !mListening)
        return;
    // One report is enough; the checks follow the rest of the motion.
    listen(false);
    mQuietChecks = 0;
    const qint64 since = mSinceTick.isValid() ? mSinceTick.elapsed() : mInterval;
    if (since >= mInterval) {
        tick();
        schedule(mInterval);
    } else {
        schedule(int(mInterval - since));
    }
}

void TickPacer::onCheck()
{
    if (!mActive)
        return;
    const bool moved = tick();
    if (!mSource || !mSource->reportsMotion()) {
        schedule(mInterval);
        return;
    }
    if (moved) {
        listen(false);
        mQuietChecks = 0;
        schedule(mInterval);
        return;
    }
    // At rest: motion wakes the pacer from now on. Motion between this
    // check and the start of listening is caught by the next check.
    listen(true);
    ++mQuietChecks;
    schedule(quietCheckDelay(mInterval, mQuietChecks));
}

// The head's tick, paced by the pointer: a tick when the pointer has moved,
// at most one per 100 ms while it moves, and none while it rests. Reads like
// a QTimer (interval(), start(), stop(), timeout()), so the head's code does
// not change with the pointer source behind it.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

class PointerSource;

class TickPacer : public QObject
{
    Q_OBJECT

public:
    explicit TickPacer(QObject *parent = nullptr);
    ~TickPacer() override;

    // The shortest time between two ticks while the pointer moves, and the
    // poll interval of a source that cannot report motion.
    int interval() const { return mInterval; }
    void setInterval(int milliseconds);
    bool isActive() const { return mActive; }
    // Ticks as soon as the event loop runs (the pointer may have moved while
    // the pacer stood still), then as the pointer moves.
    void start(int milliseconds);
    void start();
    void stop();

    // Takes up the source now in use: the pacer stops listening to the one
    // before. SetActivePointerSource calls it for every pacer.
    static void followActiveSource();

signals:
    void timeout();

private:
    void useSource(PointerSource *source);
    bool tick();
    void schedule(int milliseconds);
    void listen(bool on);
    void onMoved();
    void onCheck();

    int mInterval = 100;
    bool mActive = false;
    bool mListening = false;
    // How many checks in a row found the pointer where it was.
    int mQuietChecks = 0;
    QTimer mTimer;
    QElapsedTimer mSinceTick;
    QPointer<PointerSource> mSource;
};

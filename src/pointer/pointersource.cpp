#include "pointersource.h"

#include "xserverpointer.h"

#include <QCursor>
#include <QPointer>
#include <QWidget>

namespace {

// Where there is no X server to ask (another platform, Qt's offscreen
// platform in tests): Qt's idea of the pointer, polled.
class QtPointerSource : public PointerSource
{
public:
    std::optional<CursorReading> read(HWND window) override
    {
        const QPoint screen = QCursor::pos();
        const QPoint client = window ? window->mapFromGlobal(screen) : screen;
        return CursorReading { { screen.x(), screen.y() }, { client.x(), client.y() } };
    }
    bool reportsMotion() const override { return false; }
    void listen(bool) override { }
    QString name() const override { return QStringLiteral("Qt"); }
};

// The pointer room's process-wide state, the one place that holds it.
struct PointerState
{
    // The source to fall back on, made when first asked for.
    PointerSource *fallback = nullptr;
    // Another source in use, and how its loss or end is heard.
    QPointer<PointerSource> chosen;
    QMetaObject::Connection chosenLost, chosenGone;
    PointerSourceSwitch notifier;
    // The reading of the tick under way, if one is.
    const TickReading *tick = nullptr;
} pointerState;

} // namespace

PointerSourceSwitch *PointerSourceSwitch::instance()
{
    return &pointerState.notifier;
}

PointerSource *FallbackPointerSource()
{
    PointerSource *&fallback = pointerState.fallback;
    if (!fallback)
        fallback = CreateXServerPointerSource();
    if (!fallback)
        fallback = new QtPointerSource;
    return fallback;
}

PointerSource *ActivePointerSource()
{
    return pointerState.chosen ? pointerState.chosen.data() : FallbackPointerSource();
}

void SetActivePointerSource(PointerSource *source)
{
    PointerState &state = pointerState;
    QObject::disconnect(state.chosenLost);
    QObject::disconnect(state.chosenGone);
    state.chosen = source == FallbackPointerSource() ? nullptr : source;
    if (state.chosen) {
        state.chosenLost = QObject::connect(state.chosen, &PointerSource::lost, &state.notifier,
            [] { SetActivePointerSource(nullptr); });
        // Gone without a word: the pacers must not keep listening to nothing.
        state.chosenGone = QObject::connect(state.chosen, &QObject::destroyed, &state.notifier,
            [] { emit pointerState.notifier.changed(ActivePointerSource()); });
    }
    emit state.notifier.changed(ActivePointerSource());
}

TickReading::TickReading(HWND window, const std::optional<CursorReading> &reading)
    : m_window(window)
    , m_reading(reading)
    , m_outer(pointerState.tick)
{
    pointerState.tick = this;
}

TickReading::~TickReading()
{
    pointerState.tick = m_outer;
}

const TickReading *TickReading::current()
{
    return pointerState.tick;
}

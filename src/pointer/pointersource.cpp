#include "pointersource.h"

#ifdef OGLON_X11
#include "x11pointer.h"
#endif

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

PointerSource *defaultSource()
{
    static PointerSource *const source = []() -> PointerSource * {
#ifdef OGLON_X11
        if (PointerSource *x = CreateXServerPointerSource())
            return x;
#endif
        return new QtPointerSource;
    }();
    return source;
}

QPointer<PointerSource> chosen;
QMetaObject::Connection chosenLost, chosenGone;

const TickReading *tickUnderWay = nullptr;

} // namespace

PointerSourceSwitch *PointerSourceSwitch::instance()
{
    static PointerSourceSwitch notifier;
    return &notifier;
}

PointerSource *ActivePointerSource()
{
    return chosen ? chosen.data() : defaultSource();
}

PointerSource *FallbackPointerSource()
{
    return defaultSource();
}

void SetActivePointerSource(PointerSource *source)
{
    PointerSourceSwitch *notifier = PointerSourceSwitch::instance();
    QObject::disconnect(chosenLost);
    QObject::disconnect(chosenGone);
    chosen = source == defaultSource() ? nullptr : source;
    if (chosen) {
        chosenLost = QObject::connect(
            chosen, &PointerSource::lost, notifier, [] { SetActivePointerSource(nullptr); });
        // Gone without a word: the pacers must not keep listening to nothing.
        chosenGone = QObject::connect(chosen, &QObject::destroyed, notifier,
            [notifier] { emit notifier->changed(ActivePointerSource()); });
    }
    emit notifier->changed(ActivePointerSource());
}

TickReading::TickReading(HWND window, const std::optional<CursorReading> &reading)
    : m_window(window)
    , m_reading(reading)
    , m_outer(tickUnderWay)
{
    tickUnderWay = this;
}

TickReading::~TickReading()
{
    tickUnderWay = m_outer;
}

const TickReading *TickReading::current()
{
    return tickUnderWay;
}

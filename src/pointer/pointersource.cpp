#include "pointersource.h"

#include "pacer.h"
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

POINT lastScreen;
quint64 movesSeen = 0;

} // namespace

PointerSource *ActivePointerSource()
{
    return chosen ? chosen.data() : defaultSource();
}

void SetActivePointerSource(PointerSource *source)
{
    QObject::disconnect(chosenLost);
    QObject::disconnect(chosenGone);
    chosen = source == defaultSource() ? nullptr : source;
    if (chosen) {
        chosenLost = QObject::connect(
            chosen, &PointerSource::lost, [] { SetActivePointerSource(nullptr); });
        // Gone without a word: the pacer must not keep listening to nothing.
        chosenGone = QObject::connect(
            chosen, &QObject::destroyed, [] { TickPacer::followActiveSource(); });
    }
    TickPacer::followActiveSource();
}

std::optional<CursorReading> ReadPointer(HWND window)
{
    const std::optional<CursorReading> reading = ActivePointerSource()->read(window);
    if (reading && reading->screen != lastScreen) {
        lastScreen = reading->screen;
        ++movesSeen;
    }
    return reading;
}

quint64 PointerMovesSeen()
{
    return movesSeen;
}

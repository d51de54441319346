#include "xserverpointer.h"

#include "x11/pointer.h"

#include <QGuiApplication>
#include <QWidget>

namespace {

// A timed answer older than this when the pacer reads it is asked again.
constexpr int FreshAnswer = 10;

// The X server's pointer: raw motion for when it moved, a question timed by
// the server for where it is, and a question on Qt's connection whenever a
// reading is wanted before or after its time.
class XServerPointerSource : public PointerSource
{
public:
    XServerPointerSource()
    {
        connect(&m_motion, &X11::RawMotion::moved, this, &PointerSource::moved);
        connect(&m_query, &X11::TimedPointerQuery::answered, this, &PointerSource::due);
    }

    std::optional<CursorReading> read(HWND window) override
    {
        const unsigned long target = windowOf(window);
        std::optional<X11::Pointer> answer = m_query.take(target, FreshAnswer);
        if (!answer)
            answer = X11::queryPointer(target);
        if (!answer)
            return std::nullopt;
        // The server works in device pixels; the program in logical ones.
        const qreal ratio = window ? window->devicePixelRatioF() : qGuiApp->devicePixelRatio();
        const QPoint screen = (QPointF(answer->root) / ratio).toPoint();
        // On another X screen the window point means nothing; Qt's mapping
        // is the best there is.
        const QPoint client = !window ? screen
            : answer->sameScreen      ? (QPointF(answer->window) / ratio).toPoint()
                                      : window->mapFromGlobal(screen);
        return CursorReading { { screen.x(), screen.y() }, { client.x(), client.y() } };
    }

    bool readIn(HWND window, int milliseconds, bool wake) override
    {
        return m_query.ask(windowOf(window), milliseconds, wake);
    }

    bool reportsMotion() const override { return m_motion.available(); }
    void listen(bool on) override { m_motion.listen(on); }

    QString name() const override
    {
        return m_motion.available() ? QStringLiteral("X server (XInput2 raw motion)")
                                    : QStringLiteral("X server (polled)");
    }

private:
    // 0 asks about the root window: the screen point alone.
    static unsigned long windowOf(HWND window) { return window ? window->winId() : 0; }

    X11::RawMotion m_motion;
    X11::TimedPointerQuery m_query;
};

} // namespace

PointerSource *CreateXServerPointerSource()
{
    return X11::available() ? new XServerPointerSource : nullptr;
}

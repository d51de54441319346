#include "desktop.h"

#include "x11.h"

#include <QCursor>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QPointer>
#include <QPolygon>
#include <QProcess>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <QWindow>
#include <cstring>
#include <optional>

namespace {

// What X11 keeps per native window (the input shape, the skip-taskbar
// state) is lost when Qt re-creates the window, so it is kept on the widget
// and handed to every native window the widget gets.
const char *const InputRegionProperty = "_oglon_input_region";
const char *const SkipTaskbarProperty = "_oglon_skip_taskbar";

void applyNativeState(QWidget *window)
{
    const WId id = window->internalWinId();
    if (!id)
        return;
    const QVariant input = window->property(InputRegionProperty);
    if (input.isValid()) {
        const qreal ratio = window->devicePixelRatioF();
        QRegion device;
        for (const QRect &r : input.value<QRegion>())
            device += QRect((QPointF(r.topLeft()) * ratio).toPoint(), r.size() * ratio);
        X11::setInputShape(id, device);
    }
    if (window->property(SkipTaskbarProperty).toBool())
        X11::addSkipTaskbarState(id);
}

class NativeStateKeeper : public QObject
{
public:
    using QObject::QObject;

    static void watch(QWidget *window)
    {
        static NativeStateKeeper keeper;
        window->removeEventFilter(&keeper);
        window->installEventFilter(&keeper);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::WinIdChange)
            applyNativeState(static_cast<QWidget *>(watched));
        return false;
    }
};

// GetCursorPos asks the server where the pointer is relative to the window
// that ScreenToClient last served (the head, ten times a second). That one
// answer holds the pointer's place on the screen and in the window, so a
// ScreenToClient of the same point right after takes the window's part of it
// instead of asking again: one request per tick, still the server's word.
struct PointerAnswer
{
    WId window = 0; // the window asked about; none until ScreenToClient names one
    qreal ratio = 1; // its device pixel ratio then
    POINT screen; // what GetCursorPos returned
    QPoint client; // device pixels
    bool fresh = false;
};

PointerAnswer lastAnswer;

} // namespace

bool GetCursorPos(POINT *point)
{
    if (!point)
        return false;
    lastAnswer.fresh = false;
    if (lastAnswer.window) {
        if (const auto answer = X11::queryPointer(lastAnswer.window)) {
            // The server works in device pixels; the program in logical ones.
            const QPoint pos = (QPointF(answer->root) / lastAnswer.ratio).toPoint();
            *point = { pos.x(), pos.y() };
            lastAnswer.screen = *point;
            lastAnswer.client = answer->window;
            lastAnswer.fresh = answer->sameScreen;
            return true;
        }
    }
    const QPoint pos = QCursor::pos();
    *point = { pos.x(), pos.y() };
    return true;
}

namespace {

// The server's answer for a screen point, in the window's logical pixels.
std::optional<QPoint> askServer(HWND window, const QPoint &screen)
{
    if (!X11::available())
        return std::nullopt;
    // The server works in device pixels; the program in logical ones.
    const qreal ratio = window->devicePixelRatioF();
    const WId id = window->winId();
    const bool answered = lastAnswer.fresh && lastAnswer.window == id && lastAnswer.ratio == ratio
        && lastAnswer.screen == POINT { screen.x(), screen.y() };
    lastAnswer.fresh = false;
    lastAnswer.window = id;
    lastAnswer.ratio = ratio;
    if (answered)
        return (QPointF(lastAnswer.client) / ratio).toPoint();
    if (const auto answer = X11::translateFromRoot(id, (QPointF(screen) * ratio).toPoint()))
        return (QPointF(*answer) / ratio).toPoint();
    return std::nullopt;
}

} // namespace

bool ScreenToClient(HWND window, POINT *point)
{
    if (!window || !point)
        return false;
    const QPoint screen(point->x, point->y);
    // Qt's own mapping only where there is no server to ask.
    const std::optional<QPoint> answer = askServer(window, screen);
    const QPoint client = answer ? *answer : window->mapFromGlobal(screen);
    *point = { client.x(), client.y() };
    return true;
}

HRGN CreatePolygonRgn(const POINT *points, int count, int fillMode)
{
    QPolygon polygon;
    for (int i = 0; points && i < count; ++i)
        polygon << QPoint(points[i].x, points[i].y);
    return QRegion(polygon, fillMode == 2 ? Qt::WindingFill : Qt::OddEvenFill);
}

bool SetWindowRgn(HWND window, const HRGN &region, bool redraw)
{
    if (!window)
        return false;
    // Qt shapes what is drawn; the input shape is set as well so that the
    // cut-away parts let presses through to the windows beneath.
    window->setMask(region);
    window->setProperty(InputRegionProperty, QVariant::fromValue(region));
    NativeStateKeeper::watch(window);
    applyNativeState(window);
    if (redraw)
        window->update();
    return true;
}

bool SetWindowPos(HWND window, ZOrder insertAfter, int x, int y, int cx, int cy, unsigned flags)
{
    if (!window)
        return false;
    const bool topmost = insertAfter == HWND_TOPMOST;
    if (!window->isVisible()) {
        // Before the first show the flag is simply part of the window's
        // design; Qt builds the native window with it.
        window->setWindowFlag(Qt::WindowStaysOnTopHint, topmost);
    } else {
        // QWidget::setWindowFlag would hide and re-create a shown window;
        // changing the flags in place keeps it mapped, with its id and state.
        Qt::WindowFlags windowFlags = window->windowFlags();
        windowFlags.setFlag(Qt::WindowStaysOnTopHint, topmost);
        window->overrideWindowFlags(windowFlags);
        if (QWindow *handle = window->windowHandle())
            handle->setFlags(windowFlags);
    }
    if (!(flags & SWP_NOMOVE))
        window->move(x, y);
    if (!(flags & SWP_NOSIZE))
        window->resize(cx, cy);
    return true;
}

bool ShellExecuteA(HWND window, const char *operation, const char *file, const char *, const char *,
    int, const std::function<void()> &failed)
{
    if (!operation || !file || std::strcmp(operation, "open") != 0)
        return false;
    const QUrl url(QString::fromLocal8Bit(file));
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    // xdg-open is asked directly, with the URL as its one argument and no
    // shell, so that its verdict can be heard: it fails when it finds no
    // program for the scheme. It may run as long as the browser it started.
    auto *opener = new QProcess(qApp);
    opener->setProcessChannelMode(QProcess::ForwardedChannels);
    // Told from the event loop: a missing opener is reported within start().
    const auto report = [window = QPointer<QWidget>(window), failed] {
        if (window && failed)
            QTimer::singleShot(0, window, failed);
    };
    QObject::connect(opener, &QProcess::finished, opener,
        [opener, report](int code, QProcess::ExitStatus status) {
            if (code != 0 || status != QProcess::NormalExit)
                report();
            opener->deleteLater();
        });
    QObject::connect(
        opener, &QProcess::errorOccurred, opener, [opener, report](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart) {
                report();
                opener->deleteLater();
            }
        });
    opener->start(QStringLiteral("xdg-open"), { QString::fromUtf8(url.toEncoded()) });
    return true;
#else
    const bool opened = QDesktopServices::openUrl(url);
    if (!opened && failed && window)
        QTimer::singleShot(0, window, failed);
    return opened;
#endif
}

bool IsLeftButtonDown()
{
    if (const auto down = X11::leftButtonDown())
        return *down;
    return QGuiApplication::mouseButtons() & Qt::LeftButton;
}

void SkipTaskbar(HWND window)
{
    if (!window)
        return;
    window->setProperty(SkipTaskbarProperty, true);
    NativeStateKeeper::watch(window);
    applyNativeState(window);
}

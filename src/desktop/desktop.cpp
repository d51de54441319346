#include "desktop.h"

#include "pointersource.h"
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

} // namespace

bool GetCursorPos(POINT *point)
{
    if (!point)
        return false;
    if (const auto reading = ReadPointer(nullptr)) {
        *point = reading->screen;
        return true;
    }
    const QPoint pos = QCursor::pos();
    *point = { pos.x(), pos.y() };
    return true;
}

// The source is asked where the pointer is on the screen and in the window
// at the same moment; the difference is where the window's client area is
// now, whatever the toolkit believes while the window manager moves it. The
// point given need not be the pointer's.
bool ScreenToClient(HWND window, POINT *point)
{
    if (!window || !point)
        return false;
    if (const auto reading = ReadPointer(window)) {
        point->x -= reading->screen.x - reading->client.x;
        point->y -= reading->screen.y - reading->client.y;
        return true;
    }
    const QPoint client = window->mapFromGlobal(QPoint(point->x, point->y));
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

bool SetWindowPos(HWND window, ZOrder insertAfter, int, int, int, int, unsigned)
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

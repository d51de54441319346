#include "windowkeeper.h"

#include "x11/x11.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>

WindowKeeper *WindowKeeper::of(QWidget *window)
{
    auto *keeper = window->findChild<WindowKeeper *>(QString(), Qt::FindDirectChildrenOnly);
    return keeper ? keeper : new WindowKeeper(window);
}

WindowKeeper::WindowKeeper(QWidget *window)
    : QObject(window)
    , m_window(window)
{
    window->installEventFilter(this);
    m_watch.mapped = [this](unsigned long id) { restateWhenMapped(id); };
    m_watch.withdrawn = [this](unsigned long id) { remapWithdrawn(id); };
    m_watch.destroyed = [this](unsigned long id) { onDestroyed(id); };
    m_watch.unmapped = [this](unsigned long id) {
        if (id == m_window->internalWinId())
            m_mapped = false;
    };
    m_watch.statesChanged = [this](unsigned long id) { followStacking(id); };
}

void WindowKeeper::setRegion(const HRGN &region)
{
    m_region = region;
    applyShapes();
}

void WindowKeeper::skipTaskbar()
{
    m_skipTaskbar = true;
    applyNativeState();
}

bool WindowKeeper::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_window)
        return false;
    if (event->type() == QEvent::WinIdChange)
        applyNativeState();
    else if (event->type() == QEvent::ScreenChangeInternal)
        onNewScreen();
    else if (event->type() == QEvent::WindowStateChange)
        refuseMinimised();
    return false;
}

// The shapes are in device pixels: they are laid again whenever the window
// moves to a screen of another density.
void WindowKeeper::applyShapes()
{
    if (m_region && m_window->internalWinId())
        X11::setShapes(m_window->internalWinId(), m_region->scaled(m_window->devicePixelRatioF()));
}

// What X11 keeps per native window is lost when Qt re-creates the window:
// it is handed to every native window the widget gets.
void WindowKeeper::applyNativeState()
{
    const WId id = m_window->internalWinId();
    if (!id)
        return;
    applyShapes();
    if (m_skipTaskbar)
        X11::setStates(id, { "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER" },
            X11::StateChange::Append);
}

// On a monitor of another density the window takes its size there too: Qt
// resizes it only when the change reaches it between moves, not in the
// middle of a fast drag.
void WindowKeeper::onNewScreen()
{
    applyShapes();
    const QPointer<QWidget> window(m_window);
    QTimer::singleShot(0, this, [window] {
        if (window && window->internalWinId())
            X11::resizeTo(window->internalWinId(),
                (QSizeF(window->size()) * window->devicePixelRatioF()).toSize());
    });
}

// A window kept off the taskbar has no button to bring it back from: when
// the window manager minimises it (IceWM's Alt+F9 does), it comes back.
void WindowKeeper::refuseMinimised()
{
    if (!m_window->isMinimized() || !m_skipTaskbar)
        return;
    QTimer::singleShot(0, this, [this] {
        if (m_window->isMinimized())
            m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
    });
}

// The states the window manager is to keep for the window.
QList<QByteArray> WindowKeeper::wantedStates() const
{
    QList<QByteArray> states;
    if (m_skipTaskbar)
        states << "_NET_WM_STATE_SKIP_TASKBAR"
               << "_NET_WM_STATE_SKIP_PAGER";
    if (m_window->windowFlags() & Qt::WindowStaysOnTopHint)
        states << "_NET_WM_STATE_ABOVE";
    return states;
}

bool WindowKeeper::isShown(unsigned long id) const
{
    return id == m_window->internalWinId() && m_window->isVisible();
}

// A window manager forgets a window's states when another client unmaps it
// (the window is withdrawn) and may be asked to map it again before the
// program can write them on it: whenever the window is mapped, it asks for
// them again, one a request.
void WindowKeeper::restateWhenMapped(unsigned long id)
{
    if (!isShown(id))
        return;
    m_mapped = true;
    stackingAsked();
    for (const QByteArray &state : wantedStates())
        X11::addState(id, state.constData());
    if (m_window->windowFlags() & Qt::WindowStaysOnTopHint)
        X11::setOnTopLayer(id, true);
}

// A window the program shows is not lost to another client unmapping it, nor
// to a window manager letting go of it on a false notice: it is mapped
// again, its states written on it first as on a new window.
void WindowKeeper::remapWithdrawn(unsigned long id)
{
    if (!isShown(id) || m_window->isMinimized())
        return;
    X11::setStates(id, wantedStates());
    X11::mapWindow(id);
}

// Qt destroys native windows of its own when it re-creates them; only the
// loss of the one the window has now ends the program.
void WindowKeeper::onDestroyed(unsigned long id)
{
    if (m_quitWhenDestroyed && id == m_window->internalWinId())
        QCoreApplication::exit(0);
}

void SkipTaskbar(HWND window)
{
    if (window)
        WindowKeeper::of(window)->skipTaskbar();
}

void QuitWhenDestroyed(HWND window)
{
    if (window)
        WindowKeeper::of(window)->quitWhenDestroyed();
}

// The state is read when it changes, not when the menu opens: the menu
// costs nothing. Until the window manager shows the place the program last
// asked for (for a second at most), a change may be it catching up with an
// earlier request and is not followed; nor one before the map that follows
// it, when a window manager that forgot the window's states writes them
// afresh.
void WindowKeeper::followStacking(unsigned long id)
{
    if (!isShown(id) || !m_mapped)
        return;
    const std::optional<bool> above = X11::managedState(id, "_NET_WM_STATE_ABOVE");
    if (!above)
        return;
    if (*above == bool(m_window->windowFlags() & Qt::WindowStaysOnTopHint))
        m_stackingPending = false;
    else if (!m_stackingPending || m_sinceStacking.elapsed() >= 1000)
        emit topmostChanged(*above);
}

// The window keeper: what the window manager and the X server must know of
// one of the program's windows, kept through whatever happens to it.
#pragma once

#include "desktop/desktop.h"
#include "x11/windowwatch.h"

#include <QElapsedTimer>
#include <QObject>
#include <optional>

// Keeps, for one window: its shapes and skip-taskbar state, laid again on
// every native window Qt makes for it and at every change of density; its
// states, told the window manager again whenever it is mapped; the window
// itself, mapped again when another client withdraws it and never left
// minimised without a taskbar button to restore it; and, when asked, the
// program's end when another client destroys it. It tells when the window
// manager puts the window into the topmost band or out of it by itself.
class WindowKeeper : public QObject
{
    Q_OBJECT

public:
    // The window's keeper, made the first time it is asked for.
    static WindowKeeper *of(QWidget *window);

    void setRegion(const HRGN &region);
    const std::optional<HRGN> &region() const { return m_region; }
    void skipTaskbar();
    void quitWhenDestroyed() { m_quitWhenDestroyed = true; }
    // The program asked for the window's place in the band: for a moment,
    // the window manager's state may still show the place before.
    void stackingAsked()
    {
        m_sinceStacking.start();
        m_stackingPending = true;
    }

signals:
    // The window manager took the window out of the topmost band, or put it
    // there, and says so in its state (its own menu, a rule, a script).
    void topmostChanged(bool topmost);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit WindowKeeper(QWidget *window);

    void applyShapes();
    void applyNativeState();
    void onNewScreen();
    void refuseMinimised();
    QList<QByteArray> wantedStates() const;
    bool isShown(unsigned long id) const;
    void restateWhenMapped(unsigned long id);
    void remapWithdrawn(unsigned long id);
    void onDestroyed(unsigned long id);
    void followStacking(unsigned long id);

    QWidget *m_window;
    std::optional<HRGN> m_region;
    bool m_skipTaskbar = false;
    bool m_quitWhenDestroyed = false;
    QElapsedTimer m_sinceStacking;
    bool m_stackingPending = false; // the window manager has yet to show it
    bool m_mapped = false; // as the last notice of its map state said
    X11::WindowWatch m_watch;
};

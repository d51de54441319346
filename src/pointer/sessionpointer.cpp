#include "sessionpointer.h"

#include "cursorsession.h"
#include "gnomeoffer.h"
#include "gnomepointer.h"
#include "kwinpointer.h"
#include "x11/x11.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFileInfo>
#include <QWidget>
#include <functional>
#include <optional>

namespace {

// The session bus, when there is one to ask without starting a bus of our own.
bool sessionBusExpected()
{
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus"));
}

// Asks the session bus whether `service` is on it; `then` has the answer in
// the event loop, none where the bus did not answer.
void askOnSessionBus(
    QObject *context, const QString &service, std::function<void(std::optional<bool>)> then)
{
    auto *watcher = AskSessionBus(QStringLiteral("NameHasOwner"), service, context);
    QObject::connect(
        watcher, &QDBusPendingCallWatcher::finished, context, [then](QDBusPendingCallWatcher *w) {
            w->deleteLater();
            const QDBusPendingReply<bool> reply = *w;
            then(reply.isError() ? std::nullopt : std::optional<bool>(reply.value()));
        });
}

} // namespace

PointerChoice ChoosePointerSource(
    bool waylandSession, bool onX11, bool kwinOnBus, bool gnomeShellOnBus)
{
    if (!waylandSession || !onX11)
        return PointerChoice::XServer;
    if (kwinOnBus)
        return PointerChoice::KWin;
    if (gnomeShellOnBus)
        return PointerChoice::GnomeShell;
#ifdef OGLON_CURSOR_SESSION
    return PointerChoice::CursorSession;
#else
    return PointerChoice::X11WindowsOnly;
#endif
}

namespace {

// The compositor's reports whenever they come, the X server's pointer while
// they do not, each change said on stderr.
void follow(CompositorPointer *source, const QString &overX11Only)
{
    QObject::connect(source, &CompositorPointer::ready, source, [source] {
        SetActivePointerSource(source);
        Say(QStringLiteral("running through XWayland; the pointer comes from ") + source->name());
    });
    QObject::connect(source, &PointerSource::lost, source, [source, overX11Only] {
        Say(QStringLiteral("running through XWayland, pointer from the X server (%1): %2")
                .arg(source->problem(), overX11Only));
    });
    source->start();
}

const QString OverX11Only
    = QStringLiteral("the pupils follow the pointer only while it is over X11 windows");

void takePointerFrom(PointerChoice choice, HWND head)
{
    switch (choice) {
    case PointerChoice::XServer:
        return;
    case PointerChoice::X11WindowsOnly:
        Say(QStringLiteral("running through XWayland without KWin or GNOME Shell, in a build "
                           "without the compositor's cursor session (wayland-protocols 1.37): ")
            + OverX11Only);
        return;
    case PointerChoice::CursorSession:
#ifdef OGLON_CURSOR_SESSION
        return follow(new CursorSessionPointer(head, head), OverX11Only);
#endif
        return;
    case PointerChoice::KWin:
        return follow(new KWinPointer(head, head), OverX11Only);
    case PointerChoice::GnomeShell: {
        auto *source = new GnomePointer(head, head);
        QObject::connect(source, &GnomePointer::extensionOff, source,
            [head](const QString &uuid) { OfferToEnableExtension(uuid, head); });
        return follow(source, OverX11Only);
    }
    }
}

void noAnswer()
{
    Say(QStringLiteral("running through XWayland, pointer from the X server (the session bus "
                       "does not answer): ")
        + OverX11Only);
}

} // namespace

void FollowPointerInWaylandSession(HWND head, bool waylandSession)
{
    const bool onX11 = X11::available();
    if (!onX11 || !waylandSession || !sessionBusExpected()
        || !QDBusConnection::sessionBus().isConnected())
        return takePointerFrom(ChoosePointerSource(waylandSession, onX11, false), head);
    // The bus's answers come in the event loop, once the head shows; should
    // KWin be there, it reads the head's window role as the head is mapped.
    KWinPointer::nameHead(head);
    askOnSessionBus(head, KWinPointer::service(), [head](std::optional<bool> kwin) {
        if (!kwin)
            return noAnswer();
        if (*kwin)
            return takePointerFrom(ChoosePointerSource(true, true, true), head);
        askOnSessionBus(head, GnomePointer::service(), [head](std::optional<bool> gnome) {
            if (!gnome)
                return noAnswer();
            takePointerFrom(ChoosePointerSource(true, true, false, *gnome), head);
        });
    });
}

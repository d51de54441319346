#include "sessionpointer.h"

#include "gnomeoffer.h"
#include "gnomepointer.h"
#include "kwinpointer.h"
#include "x11/x11.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFileInfo>
#include <QWidget>

namespace {

// The session bus, when there is one to ask without starting a bus of our own.
bool sessionBusExpected()
{
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus"));
}

bool onSessionBus(const QString &service)
{
    if (!sessionBusExpected())
        return false;
    const QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() && bus.interface()->isServiceRegistered(service);
}

} // namespace

PointerChoice ChoosePointerSource(
    bool waylandSession, bool onX11, bool kwinOnBus, bool gnomeShellOnBus)
{
    if (!waylandSession || !onX11)
        return PointerChoice::XServer;
    if (kwinOnBus)
        return PointerChoice::KWin;
    return gnomeShellOnBus ? PointerChoice::GnomeShell : PointerChoice::X11WindowsOnly;
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

} // namespace

void FollowPointerInWaylandSession(HWND head, bool waylandSession)
{
    const bool onX11 = X11::available();
    const bool wayland = onX11 && waylandSession;
    const QString overX11Only
        = QStringLiteral("the pupils follow the pointer only while it is over X11 windows");
    switch (
        ChoosePointerSource(waylandSession, onX11, wayland && onSessionBus(KWinPointer::service()),
            wayland && onSessionBus(GnomePointer::service()))) {
    case PointerChoice::XServer:
        return;
    case PointerChoice::X11WindowsOnly:
        Say(QStringLiteral("running through XWayland without KWin or GNOME Shell: ") + overX11Only);
        return;
    case PointerChoice::KWin:
        return follow(new KWinPointer(head, head), overX11Only);
    case PointerChoice::GnomeShell: {
        auto *source = new GnomePointer(head, head);
        QObject::connect(source, &GnomePointer::extensionOff, source,
            [head](const QString &uuid) { OfferToEnableExtension(uuid, head); });
        return follow(source, overX11Only);
    }
    }
}

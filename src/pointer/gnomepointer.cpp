#include "gnomepointer.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QWidget>
#include <cstdio>

namespace {

const QString ShellService = QStringLiteral("org.gnome.Shell");
const QString ShellPath = QStringLiteral("/org/gnome/Shell");
const QString ExtensionsInterface = QStringLiteral("org.gnome.Shell.Extensions");
const QString ReporterPath = QStringLiteral("/org/oglon/PointerReporter");
const QString ReporterInterface = QStringLiteral("org.oglon.PointerReporter");
// A shell that does not answer a question within a second is taken for one
// that does not answer at all.
constexpr int AnswerTimeout = 1000;

// The shell's extension states (ExtensionUtils.ExtensionState): ENABLED (43,
// 44) or ACTIVE, DISABLED or INACTIVE, and so on.
enum ShellState {
    Active = 1,
    Inactive = 2,
    Error = 3,
    OutOfDate = 4,
    Initialized = 6,
    Deactivating = 7,
    Activating = 8,
    Uninstalled = 99
};

QDBusMessage shellCall(const QString &path, const QString &interface, const QString &method,
    const QVariantList &arguments = {})
{
    QDBusMessage call = QDBusMessage::createMethodCall(ShellService, path, interface, method);
    call.setArguments(arguments);
    return call;
}

bool extensionInstalled(const QString &uuid)
{
    return !QStandardPaths::locate(QStandardPaths::GenericDataLocation,
        QStringLiteral("gnome-shell/extensions/%1/metadata.json").arg(uuid))
                .isEmpty();
}

} // namespace

QString GnomeExtensionUuid(const QString &shellVersion)
{
    const int major = shellVersion.section(u'.', 0, 0).toInt();
    return major >= 45 ? QStringLiteral("oglon-pointer@oglon.org")
                       : QStringLiteral("oglon-pointer-legacy@oglon.org");
}

ExtensionState GnomeExtensionState(const QVariantMap &info, bool installed)
{
    const int state = info.value(QStringLiteral("state"), int(Uninstalled)).toInt();
    switch (state) {
    case Uninstalled:
        // On disk but unknown to the shell: installed after this login began.
        return installed ? ExtensionState::NeedsLogin : ExtensionState::Missing;
    case Active:
        return ExtensionState::Running;
    case Error:
        return ExtensionState::Failed;
    case OutOfDate:
        return ExtensionState::OutOfDate;
    default:
        return ExtensionState::Off;
    }
}

QString GnomeExtensionProblem(ExtensionState state, const QString &error)
{
    switch (state) {
    case ExtensionState::Missing:
        return QStringLiteral("Oglon's GNOME Shell extension is not installed");
    case ExtensionState::NeedsLogin:
        return QStringLiteral("Oglon's GNOME Shell extension was installed after this login "
                              "began: it runs from the next login");
    case ExtensionState::OutOfDate:
        return QStringLiteral("Oglon's GNOME Shell extension is out of date for this GNOME Shell");
    case ExtensionState::Failed:
        return QStringLiteral("Oglon's GNOME Shell extension failed: %1").arg(error);
    case ExtensionState::Off:
        return QStringLiteral("Oglon's GNOME Shell extension is not enabled");
    case ExtensionState::Running:
        break;
    }
    return QStringLiteral("Oglon's GNOME Shell extension sent no report");
}

QString GnomePointer::service()
{
    return ShellService;
}

GnomePointer::GnomePointer(HWND head, QObject *parent)
    : CompositorPointer(head, ShellService, QStringLiteral("Oglon's GNOME Shell extension"), parent)
{ }

GnomePointer::~GnomePointer()
{
    stopReports();
}

void GnomePointer::startReports()
{
    if (m_uuid.isEmpty())
        askVersion();
    m_silent = false;
    m_subscribed = true;
    const auto call = QDBusConnection::sessionBus().asyncCall(shellCall(ReporterPath,
        ReporterInterface, QStringLiteral("Subscribe"), { quint64(head()->winId()) }));
    auto *watcher = new QDBusPendingCallWatcher(call, this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        // Until the shell has said its version, the first report's deadline
        // decides.
        if (w->isError() && !failed() && m_uuid.size())
            diagnose();
    });
}

// The shell's version tells which of the two builds of the extension is its.
// The extension comes and goes: enabled, disabled, off while the screen is
// locked.
void GnomePointer::askVersion()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!m_watching)
        m_watching = bus.connect(ShellService, ShellPath, ExtensionsInterface,
            QStringLiteral("ExtensionStatusChanged"), this,
            SLOT(statusChanged(QString, int, QString)));
    const QDBusPendingReply<QDBusVariant> version = bus.asyncCall(
        shellCall(ShellPath, QStringLiteral("org.freedesktop.DBus.Properties"),
            QStringLiteral("Get"), { ExtensionsInterface, QStringLiteral("ShellVersion") }),
        AnswerTimeout);
    auto *asked = new QDBusPendingCallWatcher(version, this);
    connect(asked, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *w;
        if (!reply.isError())
            m_uuid = GnomeExtensionUuid(reply.value().variant().toString());
    });
}

void GnomePointer::stopReports()
{
    if (!m_subscribed)
        return;
    m_subscribed = false;
    const QDBusMessage call
        = shellCall(ReporterPath, ReporterInterface, QStringLiteral("Unsubscribe"));
    // Waited for, so that the shell forgets this process before it is gone;
    // not from a shell that left a question unanswered.
    if (m_silent)
        QDBusConnection::sessionBus().asyncCall(call, AnswerTimeout);
    else
        QDBusConnection::sessionBus().call(call, QDBus::Block, AnswerTimeout);
}

void GnomePointer::noReportInTime()
{
    diagnose();
}

// Asks the shell why no report came, and says so.
void GnomePointer::diagnose()
{
    if (m_diagnosing || failed())
        return;
    if (m_uuid.isEmpty()) {
        m_silent = true;
        return fail(QStringLiteral("GNOME Shell does not answer"));
    }
    m_diagnosing = true;
    const QDBusPendingReply<QVariantMap> info = QDBusConnection::sessionBus().asyncCall(
        shellCall(ShellPath, ExtensionsInterface, QStringLiteral("GetExtensionInfo"), { m_uuid }),
        AnswerTimeout);
    auto *watcher = new QDBusPendingCallWatcher(info, this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        m_diagnosing = false;
        const QDBusPendingReply<QVariantMap> reply = *w;
        if (reply.isError()) {
            m_silent = true;
            return fail(QStringLiteral("GNOME Shell does not answer"));
        }
        const QVariantMap info = reply.value();
        const ExtensionState state = GnomeExtensionState(info, extensionInstalled(m_uuid));
        fail(GnomeExtensionProblem(state, info.value(QStringLiteral("error")).toString()));
        if (state == ExtensionState::Off || state == ExtensionState::NeedsLogin)
            emit extensionOff(m_uuid);
    });
}

void GnomePointer::statusChanged(const QString &uuid, int state, const QString &error)
{
    if (uuid != m_uuid || state == Activating || state == Deactivating)
        return;
    const ExtensionState extension
        = GnomeExtensionState({ { QStringLiteral("state"), state } }, true);
    if (extension == ExtensionState::Running && failed())
        start();
    else if (extension != ExtensionState::Running)
        fail(GnomeExtensionProblem(extension, error));
}

namespace {

const QString OfferedMark = QStringLiteral("oglon-gnome-extension-offered");

// The UUIDs in org.gnome.shell enabled-extensions, as gsettings prints them:
// ['a@b', 'c@d'] or @as [].
QStringList enabledExtensions()
{
    QProcess gsettings;
    gsettings.start(QStringLiteral("gsettings"),
        { QStringLiteral("get"), QStringLiteral("org.gnome.shell"),
            QStringLiteral("enabled-extensions") });
    if (!gsettings.waitForFinished(AnswerTimeout) || gsettings.exitCode() != 0)
        return {};
    QStringList uuids;
    static const QRegularExpression quoted(QStringLiteral("'([^']*)'"));
    for (const auto &match : quoted.globalMatch(QString::fromUtf8(gsettings.readAll())))
        uuids << match.captured(1);
    return uuids;
}

bool enableExtension(const QString &uuid)
{
    QStringList uuids = enabledExtensions();
    if (uuids.contains(uuid))
        return true;
    uuids << uuid;
    for (QString &each : uuids)
        each = QLatin1Char('\'') + each + QLatin1Char('\'');
    return QProcess::execute(QStringLiteral("gsettings"),
               { QStringLiteral("set"), QStringLiteral("org.gnome.shell"),
                   QStringLiteral("enabled-extensions"),
                   QLatin1Char('[') + uuids.join(QStringLiteral(", ")) + QLatin1Char(']') })
        == 0;
}

} // namespace

// One notification that offers to enable the extension, and the user's answer.
class ExtensionOffer : public QObject
{
    Q_OBJECT

public:
    ExtensionOffer(const QString &uuid, QObject *parent)
        : QObject(parent)
        , mUuid(uuid)
    {
        QDBusConnection bus = QDBusConnection::sessionBus();
        const QString path = QStringLiteral("/org/freedesktop/Notifications");
        const QString interface = QStringLiteral("org.freedesktop.Notifications");
        bus.connect(interface, path, interface, QStringLiteral("ActionInvoked"), this,
            SLOT(actionInvoked(uint, QString)));
        bus.connect(interface, path, interface, QStringLiteral("NotificationClosed"), this,
            SLOT(closed(uint)));
        QDBusMessage notify
            = QDBusMessage::createMethodCall(interface, path, interface, QStringLiteral("Notify"));
        notify.setArguments({ QStringLiteral("Oglon"), 0u, QStringLiteral("oglon"),
            QCoreApplication::translate(
                "GnomePointer", "Oglon's eyes can follow the pointer everywhere"),
            QCoreApplication::translate("GnomePointer",
                "Under GNOME on Wayland they see it over every window only through Oglon's "
                "GNOME Shell extension. Enable it? It may take one log-out to start."),
            QStringList { QStringLiteral("enable"),
                QCoreApplication::translate("GnomePointer", "Enable the extension") },
            QVariantMap { { QStringLiteral("desktop-entry"), QStringLiteral("org.oglon.Oglon") } },
            -1 });
        const QDBusPendingReply<uint> id = bus.asyncCall(notify);
        auto *watcher = new QDBusPendingCallWatcher(id, this);
        connect(
            watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
                w->deleteLater();
                const QDBusPendingReply<uint> reply = *w;
                if (reply.isError())
                    deleteLater();
                else
                    mId = reply.value();
            });
    }

private slots:
    void actionInvoked(uint id, const QString &action)
    {
        if (id != mId || action != QLatin1String("enable"))
            return;
        std::fprintf(stderr, "oglon: %s\n",
            enableExtension(mUuid)
                ? "Oglon's GNOME Shell extension is enabled from now on (or the next login)"
                : "could not enable Oglon's GNOME Shell extension (gsettings failed)");
    }
    void closed(uint id)
    {
        if (id == mId)
            deleteLater();
    }

private:
    QString mUuid;
    uint mId = 0;
};

void OfferToEnableExtension(const QString &uuid, QObject *parent)
{
    // Once per login session: the runtime directory lasts as long as it.
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    QFile mark(QDir(runtime).filePath(OfferedMark));
    if (runtime.isEmpty() || mark.exists() || !mark.open(QIODevice::WriteOnly))
        return;
    mark.close();
    if (!enabledExtensions().contains(uuid))
        new ExtensionOffer(uuid, parent);
}

#include "gnomepointer.moc"

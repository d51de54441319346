#include "gnomepointer.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QStandardPaths>
#include <QWidget>

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
    m_shellUnresponsive = false;
    m_subscribed = true;
    const auto call = QDBusConnection::sessionBus().asyncCall(methodCall(ReporterPath,
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
        methodCall(ShellPath, QStringLiteral("org.freedesktop.DBus.Properties"),
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
        = methodCall(ReporterPath, ReporterInterface, QStringLiteral("Unsubscribe"));
    // At exit waited for, so that the shell forgets this process before it
    // is gone; not from a shell that left a question unanswered, and never
    // while the program runs.
    if (m_shellUnresponsive || !quitting())
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
        m_shellUnresponsive = true;
        return fail(QStringLiteral("GNOME Shell does not answer"));
    }
    m_diagnosing = true;
    const QDBusPendingReply<QVariantMap> info = QDBusConnection::sessionBus().asyncCall(
        methodCall(ShellPath, ExtensionsInterface, QStringLiteral("GetExtensionInfo"), { m_uuid }),
        AnswerTimeout);
    auto *watcher = new QDBusPendingCallWatcher(info, this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        m_diagnosing = false;
        const QDBusPendingReply<QVariantMap> reply = *w;
        if (reply.isError()) {
            m_shellUnresponsive = true;
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

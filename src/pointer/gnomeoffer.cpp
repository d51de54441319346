#include "gnomeoffer.h"

#include "compositorpointer.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <functional>

namespace {

const QString OfferedMark = QStringLiteral("oglon-gnome-extension-offered");

} // namespace

std::optional<QStringList> GsettingsStringList(const QByteArray &printed)
{
    const QString text = QString::fromUtf8(printed).trimmed();
    if (!(text.startsWith(u'[') || text.startsWith(QLatin1String("@as ["))) || !text.endsWith(u']'))
        return std::nullopt;
    QStringList strings;
    static const QRegularExpression quoted(QStringLiteral("'([^']*)'"));
    for (const auto &match : quoted.globalMatch(text))
        strings << match.captured(1);
    return strings;
}

// One notification that offers to enable the extension, and the user's
// answer. It goes once the notification is closed, or once the extension is
// enabled.
class ExtensionOffer : public QObject
{
    Q_OBJECT

public:
    ExtensionOffer(const QString &uuid, QObject *parent);

private slots:
    void actionInvoked(uint id, const QString &action);
    void closed(uint id);

private:
    // What gsettings printed; none when it failed.
    using Printed = std::optional<QByteArray>;
    void gsettings(const QStringList &arguments, const std::function<void(const Printed &)> &then);
    void readEnabled(const std::function<void(const std::optional<QStringList> &)> &then);
    void notify();
    void enable(QStringList enabled);
    void done(bool enabled);

    QString m_uuid;
    uint m_id = 0;
    bool m_enabling = false;
};

ExtensionOffer::ExtensionOffer(const QString &uuid, QObject *parent)
    : QObject(parent)
    , m_uuid(uuid)
{
    readEnabled([this](const std::optional<QStringList> &enabled) {
        if (enabled && enabled->contains(m_uuid))
            deleteLater();
        else
            notify();
    });
}

// Runs gsettings without waiting for it: the GUI goes on meanwhile.
void ExtensionOffer::gsettings(
    const QStringList &arguments, const std::function<void(const Printed &)> &then)
{
    auto *process = new QProcess(this);
    connect(process, &QProcess::finished, this,
        [process, then](int exitCode, QProcess::ExitStatus status) {
            process->deleteLater();
            const bool ok = status == QProcess::NormalExit && exitCode == 0;
            then(ok ? Printed(process->readAllStandardOutput()) : std::nullopt);
        });
    // A program that does not start sends no finished().
    connect(process, &QProcess::errorOccurred, this, [process, then](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        process->deleteLater();
        then(std::nullopt);
    });
    process->start(QStringLiteral("gsettings"), arguments);
}

// The UUIDs in org.gnome.shell enabled-extensions; none when gsettings fails.
void ExtensionOffer::readEnabled(
    const std::function<void(const std::optional<QStringList> &)> &then)
{
    gsettings({ QStringLiteral("get"), QStringLiteral("org.gnome.shell"),
                  QStringLiteral("enabled-extensions") },
        [then](const Printed &printed) {
            then(printed ? GsettingsStringList(*printed) : std::nullopt);
        });
}

void ExtensionOffer::notify()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QString path = QStringLiteral("/org/freedesktop/Notifications");
    const QString interface = QStringLiteral("org.freedesktop.Notifications");
    bus.connect(interface, path, interface, QStringLiteral("ActionInvoked"), this,
        SLOT(actionInvoked(uint, QString)));
    bus.connect(
        interface, path, interface, QStringLiteral("NotificationClosed"), this, SLOT(closed(uint)));
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
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(notify), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusPendingReply<uint> reply = *w;
        if (reply.isError())
            deleteLater();
        else
            m_id = reply.value();
    });
}

void ExtensionOffer::actionInvoked(uint id, const QString &action)
{
    if (id != m_id || action != QLatin1String("enable") || m_enabling)
        return;
    m_enabling = true;
    readEnabled([this](const std::optional<QStringList> &enabled) {
        if (!enabled)
            done(false);
        else if (enabled->contains(m_uuid))
            done(true);
        else
            enable(*enabled);
    });
}

// The shell starts an extension as it is added to the enabled ones if it
// knows it already, else at the next login.
void ExtensionOffer::enable(QStringList enabled)
{
    enabled << m_uuid;
    for (QString &uuid : enabled)
        uuid = QLatin1Char('\'') + uuid + QLatin1Char('\'');
    gsettings({ QStringLiteral("set"), QStringLiteral("org.gnome.shell"),
                  QStringLiteral("enabled-extensions"),
                  QLatin1Char('[') + enabled.join(QStringLiteral(", ")) + QLatin1Char(']') },
        [this](const Printed &printed) { done(printed.has_value()); });
}

void ExtensionOffer::done(bool enabled)
{
    Say(QLatin1String(enabled
            ? "Oglon's GNOME Shell extension is enabled from now on (or the next login)"
            : "could not enable Oglon's GNOME Shell extension (gsettings failed)"));
    deleteLater();
}

// While the extension is being enabled, the offer stays to say how that went.
void ExtensionOffer::closed(uint id)
{
    if (id == m_id && !m_enabling)
        deleteLater();
}

void OfferToEnableExtension(const QString &uuid, QObject *parent)
{
    // Once per login session: the runtime directory lasts as long as it.
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    QFile mark(QDir(runtime).filePath(OfferedMark));
    if (runtime.isEmpty() || mark.exists() || !mark.open(QIODevice::WriteOnly))
        return;
    mark.close();
    // It asks gsettings first and does not offer what is enabled already.
    new ExtensionOffer(uuid, parent);
}

#include "gnomeoffer.moc"

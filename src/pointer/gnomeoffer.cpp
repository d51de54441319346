#include "gnomeoffer.h"

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
#include <cstdio>

namespace {

const QString OfferedMark = QStringLiteral("oglon-gnome-extension-offered");
// How long gsettings may take to print the enabled extensions.
constexpr int AnswerTimeout = 1000;

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
        , m_uuid(uuid)
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
                    m_id = reply.value();
            });
    }

private slots:
    void actionInvoked(uint id, const QString &action)
    {
        if (id != m_id || action != QLatin1String("enable"))
            return;
        std::fprintf(stderr, "oglon: %s\n",
            enableExtension(m_uuid)
                ? "Oglon's GNOME Shell extension is enabled from now on (or the next login)"
                : "could not enable Oglon's GNOME Shell extension (gsettings failed)");
    }
    void closed(uint id)
    {
        if (id == m_id)
            deleteLater();
    }

private:
    QString m_uuid;
    uint m_id = 0;
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

#include "gnomeoffer.moc"

// The pointer as GNOME Shell sees it: Oglon's own Shell extension, installed
// with the program and enabled by the user, reports the pointer and the head
// window's frame to the Oglon processes that subscribe with their head
// window (see CompositorPointer). The extension comes and goes (enabled,
// disabled, off while the screen is locked): the source follows it.
#pragma once

#include "pointer/compositorpointer.h"

#include <QString>
#include <QVariantMap>

// The extension's UUID for a GNOME Shell version: 45 and later load the ES
// module, 43 and 44 the legacy build.
QString GnomeExtensionUuid(const QString &shellVersion);

// What keeps the extension from reporting, from what GetExtensionInfo says of
// it (an empty map: the shell does not know it) and whether its files are
// installed where the shell looks.
enum class ExtensionState { Missing, NeedsLogin, OutOfDate, Failed, Off, Running };
ExtensionState GnomeExtensionState(const QVariantMap &info, bool installed);
// One line on that for stderr; `error` is the shell's word on a failure.
QString GnomeExtensionProblem(ExtensionState state, const QString &error = {});

class GnomePointer : public CompositorPointer
{
    Q_OBJECT

public:
    // GNOME Shell's name on the session bus.
    static QString service();

    // The source for the given head window; start() subscribes, and it
    // subscribes again at each retry and whenever the extension comes back.
    explicit GnomePointer(HWND head, QObject *parent = nullptr);
    ~GnomePointer() override;

    QString name() const override { return QStringLiteral("GNOME Shell"); }

signals:
    // The extension is installed but does not run; the user may enable it.
    void extensionOff(const QString &uuid);

protected:
    void startReports() override;
    void stopReports() override;
    void noReportInTime() override;

private slots:
    void statusChanged(const QString &uuid, int state, const QString &error);

private:
    void askVersion();
    void diagnose();

    QString m_uuid;
    bool m_subscribed = false;
    bool m_watching = false; // for the extension's state changes
    bool m_diagnosing = false;
    bool m_shellUnresponsive = false; // the shell left a question unanswered
};

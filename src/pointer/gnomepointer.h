// The pointer as GNOME Shell sees it. In a Wayland session the X server knows
// the pointer only while it is over an X11 window; the shell knows it
// everywhere. Oglon's own Shell extension, installed with the program and
// enabled by the user, reports the pointer and the head window's frame to the
// Oglon processes that subscribe with their head window.
#pragma once

#include "pointer/pointersource.h"

#include <QPointF>
#include <QRectF>
#include <QTimer>
#include <QVariantMap>
#include <memory>

class ReportReceiver;

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

class GnomePointer : public PointerSource
{
    Q_OBJECT

public:
    explicit GnomePointer(HWND head, QObject *parent = nullptr);
    ~GnomePointer() override;

    // Subscribes with the head window; ready() or lost() follows within about
    // 1.5 seconds. It subscribes again whenever the extension comes back.
    void start();
    // Why the source does not work at the moment; empty while it works.
    QString problem() const { return mProblem; }

    std::optional<CursorReading> read(HWND window) override;
    bool reportsMotion() const override { return true; }
    void listen(bool on) override { mListening = on; }
    QString name() const override { return QStringLiteral("GNOME Shell"); }

signals:
    // The first report since subscribing arrived: the source works.
    void ready();
    // The extension is installed but does not run; the user may enable it.
    void extensionOff(const QString &uuid);

private slots:
    void statusChanged(const QString &uuid, int state, const QString &error);

private:
    void received(QPointF pointer, QRectF frame);
    void subscribe();
    void diagnose();
    void fail(const QString &problem);
    void unsubscribe(bool wait);

    HWND mHead;
    QString mShell; // the shell's unique name on the bus: the only sender believed
    QString mUuid;
    std::unique_ptr<ReportReceiver> mReceiver;
    QTimer mFirstReport;
    QPointF mPointer;
    QRectF mFrame;
    bool mReported = false;
    bool mListening = false;
    bool mSubscribed = false;
    bool mDiagnosing = false;
    QString mProblem;
};

// Shows one desktop notification per login session that offers to enable the
// extension `uuid` from the next login; enables it only when the user chooses.
void OfferToEnableExtension(const QString &uuid, QObject *parent);

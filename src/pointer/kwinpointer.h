// The pointer as KWin sees it. In a Wayland session the X server knows the
// pointer only while it is over an X11 window; KWin knows it everywhere. A
// small KWin script, loaded at run time, reports the pointer and the head
// window's frame to this process over D-Bus.
#pragma once

#include "pointer/pointersource.h"

#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QTimer>
#include <memory>

class QTemporaryDir;
class QTemporaryFile;
class ScriptReceiver;

// Turns KWin's logical pointer and frame into the program's screen and client
// pixels. The frame's size against the client area's size as the program sees
// it gives the scale between the two, whatever XWayland does to its own root
// coordinates. None for a frame with no area or not of the client's shape:
// not the head's.
std::optional<CursorReading> MapFromCompositor(QPointF pointer, QRectF frame, QSize client);

// A string as a JavaScript string literal, quotes included, safe to put
// anywhere in a script.
QString JavaScriptString(const QString &value);

// Where the program takes the pointer from in the session it finds.
enum class PointerChoice {
    XServer, // an X11 session: the X server sees the pointer everywhere
    KWin, // Plasma Wayland: from KWin's script
    GnomeShell, // GNOME on Wayland: from Oglon's Shell extension
    X11WindowsOnly, // another Wayland desktop: the X server, over X11 windows only
};
PointerChoice ChoosePointerSource(
    bool waylandSession, bool onX11, bool kwinOnBus, bool gnomeShellOnBus = false);

// Writes `text` to a new file only the user may read, under a fresh name in
// `directory`; never through an existing file or link. The file is removed
// when the returned object goes. None when the file cannot be written.
std::unique_ptr<QTemporaryFile> WritePrivateFile(const QString &directory, const QString &text);

class KWinPointer : public PointerSource
{
    Q_OBJECT

public:
    // The source for the given head window; start() sets it going.
    explicit KWinPointer(HWND head, QObject *parent = nullptr);
    ~KWinPointer() override;

    // Loads the script into KWin; ready() or lost() follows within about
    // 1.5 seconds.
    void start();
    // Why the source did not start or stopped; empty while it works.
    QString problem() const { return mProblem; }

    std::optional<CursorReading> read(HWND window) override;
    bool reportsMotion() const override { return true; }
    void listen(bool on) override { mListening = on; }
    QString name() const override { return QStringLiteral("KWin"); }

signals:
    // The first report with the head's frame arrived: the source works.
    void ready();

private:
    friend class ScriptReceiver;
    void received(QPointF pointer, QRectF frame);
    void loadScript();
    void checkLoaded();
    void fail(const QString &problem);
    void unload();

    HWND mHead;
    unsigned long mHeadId = 0;
    QString mKWin; // KWin's unique name on the bus: the only sender believed
    QString mPluginName;
    std::unique_ptr<ScriptReceiver> mReceiver;
    std::unique_ptr<QTemporaryDir> mPrivateDir;
    std::unique_ptr<QTemporaryFile> mScript;
    QTimer mFirstReport;
    QPointF mPointer;
    QRectF mFrame;
    bool mReported = false; // any report came
    bool mFollowing = false; // a report with the head's frame came
    bool mListening = false;
    bool mLoaded = false;
    QString mProblem;
};

// In a Wayland session, takes the pointer from KWin or GNOME Shell when it can
// and says on stderr where the pointer comes from, and again whenever that
// changes. Nothing in an X11 session.
void FollowPointerInWaylandSession(HWND head, bool waylandSession);

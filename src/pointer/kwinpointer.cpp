#include "kwinpointer.h"

#include "desktop/x11.h"
#include "pointer/gnomepointer.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVirtualObject>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QWidget>
#include <cmath>
#include <cstdio>
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

const QString KWinService = QStringLiteral("org.kde.KWin");
const QString ScriptingPath = QStringLiteral("/Scripting");
const QString ScriptingInterface = QStringLiteral("org.kde.kwin.Scripting");
const QString ReportPath = QStringLiteral("/org/oglon/Pointer");
const QString ReportInterface = QStringLiteral("org.oglon.Pointer");
// KWin reads a loaded script at once and it reports at once; this leaves
// room for a busy machine.
constexpr int FirstReportTimeout = 1500;
constexpr int UnloadTimeout = 1000;

QDBusMessage scriptingCall(const QString &method, const QVariantList &arguments = {})
{
    QDBusMessage call
        = QDBusMessage::createMethodCall(KWinService, ScriptingPath, ScriptingInterface, method);
    call.setArguments(arguments);
    return call;
}

// The user's runtime directory when it is a real directory only they may
// enter; anything else is not private enough for a script KWin will run.
QString privateRuntimeDirectory()
{
    const QString path = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (path.isEmpty())
        return {};
    const QFileInfo info(path);
    const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup
        | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    if (!info.isDir() || info.isSymLink() || (info.permissions() & others))
        return {};
#ifdef Q_OS_UNIX
    if (info.ownerId() != ::getuid())
        return {};
#endif
    return path;
}

// The session bus, when there is one to ask without starting a bus of our own.
bool sessionBusExpected()
{
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus"));
}

bool onBus(const QString &service)
{
    if (!sessionBusExpected())
        return false;
    const QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() && bus.interface()->isServiceRegistered(service);
}

void say(const QString &line)
{
    std::fprintf(stderr, "oglon: %s\n", qPrintable(line));
}

} // namespace

// Takes the script's reports, from KWin only, whatever number types the
// script engine picked for them.
class ScriptReceiver : public QDBusVirtualObject
{
public:
    explicit ScriptReceiver(KWinPointer *source)
        : mSource(source)
    { }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        if (message.interface() != ReportInterface || message.member() != QLatin1String("report"))
            return false;
        const QVariantList arguments = message.arguments();
        double values[6];
        bool valid = arguments.size() == 6 && message.service() == mSource->mKWin;
        for (int i = 0; valid && i < 6; ++i)
            values[i] = arguments.at(i).toDouble(&valid);
        connection.send(valid ? message.createReply()
                              : message.createErrorReply(QDBusError::InvalidArgs, QString()));
        if (valid)
            mSource->received(
                { values[0], values[1] }, QRectF(values[2], values[3], values[4], values[5]));
        return true;
    }

    QString introspect(const QString &) const override
    {
        return QStringLiteral("<interface name=\"org.oglon.Pointer\"><method name=\"report\">"
                              "<arg type=\"d\"/><arg type=\"d\"/><arg type=\"d\"/>"
                              "<arg type=\"d\"/><arg type=\"d\"/><arg type=\"d\"/>"
                              "</method></interface>");
    }

private:
    KWinPointer *mSource;
};

std::optional<CursorReading> MapFromCompositor(QPointF pointer, QRectF frame, QSize client)
{
    if (frame.width() <= 0 || frame.height() <= 0 || client.isEmpty())
        return std::nullopt;
    // The program's logical pixels per KWin logical pixel, on each axis.
    const double kx = client.width() / frame.width();
    const double ky = client.height() / frame.height();
    // The head's frame has the head's shape, give or take a rounded pixel
    // on each side, at a scale some desktop uses.
    if (std::abs(client.height() / kx - frame.height()) > 1.5 || kx < 0.25 || kx > 4)
        return std::nullopt;
    const auto pixel = [](double v) { return int32_t(std::floor(v)); };
    CursorReading reading;
    reading.screen = { pixel(pointer.x() * kx), pixel(pointer.y() * ky) };
    reading.client
        = { pixel((pointer.x() - frame.x()) * kx), pixel((pointer.y() - frame.y()) * ky) };
    return reading;
}

QString JavaScriptString(const QString &value)
{
    QString quoted = QStringLiteral("\"");
    for (const QChar c : value) {
        const ushort u = c.unicode();
        // ASCII letters and digits as they are, everything else escaped: no
        // quote, backslash or line end can end the string early.
        if (u < 0x80 && c.isLetterOrNumber())
            quoted += c;
        else
            quoted += QStringLiteral("\\u%1").arg(u, 4, 16, QLatin1Char('0'));
    }
    return quoted + QLatin1Char('"');
}

PointerChoice ChoosePointerSource(
    bool waylandSession, bool onX11, bool kwinOnBus, bool gnomeShellOnBus)
{
    if (!waylandSession || !onX11)
        return PointerChoice::XServer;
    if (kwinOnBus)
        return PointerChoice::KWin;
    return gnomeShellOnBus ? PointerChoice::GnomeShell : PointerChoice::X11WindowsOnly;
}

std::unique_ptr<QTemporaryFile> WritePrivateFile(const QString &directory, const QString &text)
{
    // QTemporaryFile creates the file under a fresh random name with
    // O_CREAT | O_EXCL, which never opens an existing file or follows a link,
    // and gives it mode 0600.
    auto file = std::make_unique<QTemporaryFile>(
        QDir(directory).filePath(QStringLiteral("oglon-pointer-XXXXXX.js")));
    if (!file->open())
        return nullptr;
    const QByteArray bytes = text.toUtf8();
    if (file->write(bytes) != bytes.size() || !file->flush())
        return nullptr;
    file->close();
    return file;
}

KWinPointer::KWinPointer(HWND head, QObject *parent)
    : PointerSource(parent)
    , mHead(head)
{
    mFirstReport.setSingleShot(true);
    mFirstReport.setInterval(FirstReportTimeout);
    connect(&mFirstReport, &QTimer::timeout, this, [this] {
        fail(mReported ? QStringLiteral("KWin's script did not find the head window")
                       : QStringLiteral("KWin's script sent no report"));
    });
    // Every way out passes here: Exit, a termination signal, the window
    // manager closing the head.
    connect(qApp, &QCoreApplication::aboutToQuit, this, &KWinPointer::unload);
}

KWinPointer::~KWinPointer()
{
    unload();
}

void KWinPointer::start()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    mKWin = bus.interface()->serviceOwner(KWinService);
    if (mKWin.isEmpty())
        return fail(QStringLiteral("KWin is not on the session bus"));
    mReceiver = std::make_unique<ScriptReceiver>(this);
    if (!bus.registerVirtualObject(ReportPath, mReceiver.get()))
        return fail(QStringLiteral("cannot take KWin's reports on the session bus"));
    auto *watcher = new QDBusServiceWatcher(
        KWinService, bus, QDBusServiceWatcher::WatchForUnregistration, this);
    connect(watcher, &QDBusServiceWatcher::serviceUnregistered, this,
        [this] { fail(QStringLiteral("KWin left the session bus")); });
    // A name of this process's own, for the script and for the head's window
    // role: a script left behind by an Oglon that crashed keeps its name and
    // calls a bus name nobody owns any more. The role is how KWin 6, which
    // tells scripts no window ids, finds the head; it must be there before
    // the head is first mapped, when KWin reads it.
    mPluginName = QStringLiteral("oglon-pointer-%1-%2")
                      .arg(QCoreApplication::applicationPid())
                      .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
    mHead->setWindowRole(mPluginName);
    mHeadId = mHead->winId();
    mFirstReport.start();
    loadScript();
}

void KWinPointer::loadScript()
{
    QFile templateFile(QStringLiteral(":/kwinpointer.js"));
    if (!templateFile.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("the KWin script is missing"));
    QString script = QString::fromUtf8(templateFile.readAll());
    script.replace(
        QStringLiteral("@SERVICE@"), JavaScriptString(QDBusConnection::sessionBus().baseService()));
    script.replace(QStringLiteral("@PATH@"), JavaScriptString(ReportPath));
    script.replace(QStringLiteral("@WINDOW@"), JavaScriptString(QString::number(mHeadId)));
    script.replace(QStringLiteral("@ROLE@"), JavaScriptString(mHead->windowRole()));

    QString directory = privateRuntimeDirectory();
    if (directory.isEmpty()) {
        mPrivateDir = std::make_unique<QTemporaryDir>();
        if (mPrivateDir->isValid())
            directory = mPrivateDir->path();
    }
    mScript = directory.isEmpty() ? nullptr : WritePrivateFile(directory, script);
    if (!mScript)
        return fail(QStringLiteral("cannot write the KWin script"));

    mLoaded = true;
    const auto load = QDBusConnection::sessionBus().asyncCall(
        scriptingCall(QStringLiteral("loadScript"), { mScript->fileName(), mPluginName }));
    auto *watcher = new QDBusPendingCallWatcher(load, this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        if (w->isError() || mProblem.size())
            return fail(QStringLiteral("KWin did not load the script"));
        // Starts every script loaded but not running, ours among them.
        const auto run
            = QDBusConnection::sessionBus().asyncCall(scriptingCall(QStringLiteral("start")));
        auto *started = new QDBusPendingCallWatcher(run, this);
        connect(
            started, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *s) {
                s->deleteLater();
                checkLoaded();
            });
    });
}

// KWin answers loadScript with an id even for a script that does not run;
// whether it is still loaded after starting tells.
void KWinPointer::checkLoaded()
{
    if (mProblem.size())
        return;
    const QDBusPendingReply<bool> loaded = QDBusConnection::sessionBus().asyncCall(
        scriptingCall(QStringLiteral("isScriptLoaded"), { mPluginName }));
    auto *watcher = new QDBusPendingCallWatcher(loaded, this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusPendingReply<bool> reply = *w;
        if (reply.isError() || !reply.value())
            fail(QStringLiteral("KWin did not run the script"));
    });
}

void KWinPointer::received(QPointF pointer, QRectF frame)
{
    if (mProblem.size())
        return;
    mPointer = pointer;
    mFrame = frame;
    mReported = true;
    // Only a report with the head's frame shows that KWin follows the
    // pointer for this head; until one comes, the timeout may still fall back.
    if (!mFollowing && MapFromCompositor(pointer, frame, mHead->size())) {
        mFollowing = true;
        mFirstReport.stop();
        emit ready();
    }
    if (mListening)
        emit moved();
}

std::optional<CursorReading> KWinPointer::read(HWND window)
{
    // The head has no frame, so KWin's frame is its client area. Any other
    // window is not the one KWin reports on; no window asks for the screen
    // point alone.
    if (!mFollowing || mProblem.size() || (window && window != mHead))
        return std::nullopt;
    return MapFromCompositor(mPointer, mFrame, mHead->size());
}

void KWinPointer::fail(const QString &problem)
{
    if (mProblem.size())
        return;
    mProblem = problem;
    mFirstReport.stop();
    unload();
    emit lost();
}

void KWinPointer::unload()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (mLoaded) {
        mLoaded = false;
        // Waited for, so that the script is gone before the program is.
        bus.call(scriptingCall(QStringLiteral("unloadScript"), { mPluginName }), QDBus::Block,
            UnloadTimeout);
    }
    if (mReceiver) {
        bus.unregisterObject(ReportPath);
        mReceiver.reset();
    }
    mScript.reset();
    mPrivateDir.reset();
}

namespace {

// Under GNOME: the extension's reports whenever they come, the X server's
// pointer while they do not, each change said on stderr.
void followGnomeShell(HWND head, const QString &overX11Only)
{
    auto *source = new GnomePointer(head, head);
    QObject::connect(source, &GnomePointer::ready, source, [source] {
        SetActivePointerSource(source);
        say(QStringLiteral("running through XWayland; the pointer comes from GNOME Shell"));
    });
    QObject::connect(source, &PointerSource::lost, source, [source, overX11Only] {
        say(QStringLiteral("running through XWayland, pointer from the X server (%1): %2")
                .arg(source->problem(), overX11Only));
    });
    QObject::connect(source, &GnomePointer::extensionOff, source,
        [head](const QString &uuid) { OfferToEnableExtension(uuid, head); });
    source->start();
}

} // namespace

void FollowPointerInWaylandSession(HWND head, bool waylandSession)
{
    const bool onX11 = X11::available();
    const bool wayland = onX11 && waylandSession;
    const QString overX11Only
        = QStringLiteral("the pupils follow the pointer only while it is over X11 windows");
    switch (ChoosePointerSource(waylandSession, onX11, wayland && onBus(KWinService),
        wayland && onBus(QStringLiteral("org.gnome.Shell")))) {
    case PointerChoice::XServer:
        return;
    case PointerChoice::X11WindowsOnly:
        say(QStringLiteral("running through XWayland without KWin or GNOME Shell: ") + overX11Only);
        return;
    case PointerChoice::GnomeShell:
        return followGnomeShell(head, overX11Only);
    case PointerChoice::KWin:
        break;
    }
    auto *source = new KWinPointer(head, head);
    QObject::connect(source, &KWinPointer::ready, source, [source] {
        SetActivePointerSource(source);
        say(QStringLiteral("running through XWayland; the pointer comes from KWin"));
    });
    QObject::connect(source, &PointerSource::lost, source, [source, overX11Only] {
        say(QStringLiteral("running through XWayland, pointer from the X server (%1): %2")
                .arg(source->problem(), overX11Only));
    });
    source->start();
}

#include "kwinpointer.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QWidget>
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

const QString KWinService = QStringLiteral("org.kde.KWin");
const QString ScriptingPath = QStringLiteral("/Scripting");
const QString ScriptingInterface = QStringLiteral("org.kde.kwin.Scripting");
const QString ReportPath = QStringLiteral("/org/oglon/Pointer");
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

} // namespace

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

QString KWinPointer::service()
{
    return KWinService;
}

KWinPointer::KWinPointer(HWND head, QObject *parent)
    : CompositorPointer(head, KWinService, QStringLiteral("KWin's script"), parent)
{ }

KWinPointer::~KWinPointer()
{
    stopReports();
}

void KWinPointer::startReports()
{
    // A name of this process's own, for the script and for the head's window
    // role: a script left behind by an Oglon that crashed keeps its name and
    // calls a bus name nobody owns any more. The role is how KWin 6, which
    // tells scripts no window ids, finds the head; it must be there before
    // the head is first mapped, when KWin reads it.
    m_pluginName = QStringLiteral("oglon-pointer-%1-%2")
                       .arg(QCoreApplication::applicationPid())
                       .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
    head()->setWindowRole(m_pluginName);
    m_headId = head()->winId();
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
    script.replace(QStringLiteral("@WINDOW@"), JavaScriptString(QString::number(m_headId)));
    script.replace(QStringLiteral("@ROLE@"), JavaScriptString(head()->windowRole()));

    QString directory = privateRuntimeDirectory();
    if (directory.isEmpty()) {
        m_privateDir = std::make_unique<QTemporaryDir>();
        if (m_privateDir->isValid())
            directory = m_privateDir->path();
    }
    m_script = directory.isEmpty() ? nullptr : WritePrivateFile(directory, script);
    if (!m_script)
        return fail(QStringLiteral("cannot write the KWin script"));

    m_loaded = true;
    const auto load = QDBusConnection::sessionBus().asyncCall(
        scriptingCall(QStringLiteral("loadScript"), { m_script->fileName(), m_pluginName }));
    auto *watcher = new QDBusPendingCallWatcher(load, this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        if (w->isError() || failed())
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
    if (failed())
        return;
    const QDBusPendingReply<bool> loaded = QDBusConnection::sessionBus().asyncCall(
        scriptingCall(QStringLiteral("isScriptLoaded"), { m_pluginName }));
    auto *watcher = new QDBusPendingCallWatcher(loaded, this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusPendingReply<bool> reply = *w;
        if (reply.isError() || !reply.value())
            fail(QStringLiteral("KWin did not run the script"));
    });
}

void KWinPointer::stopReports()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (m_loaded) {
        m_loaded = false;
        // Waited for, so that the script is gone before the program is.
        bus.call(scriptingCall(QStringLiteral("unloadScript"), { m_pluginName }), QDBus::Block,
            UnloadTimeout);
    }
    m_script.reset();
    m_privateDir.reset();
}

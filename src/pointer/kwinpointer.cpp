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
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QWidget>
#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <unistd.h>
#endif

namespace {

const QString KWinService = QStringLiteral("org.kde.KWin");
const QString ScriptingPath = QStringLiteral("/Scripting");
const QString ScriptingInterface = QStringLiteral("org.kde.kwin.Scripting");
const QString ScriptInterface = QStringLiteral("org.kde.kwin.Script");
constexpr int UnloadTimeout = 1000;
// KWin answers at once; a question left unanswered this long is dropped, and
// asked again later.
constexpr int QuestionTimeout = 1000;

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

// The scripts' objects below `parent`, as introspection lists them: /N in
// KWin 5, /Scripting/ScriptN in KWin 6.
QStringList scriptObjects(const QDBusMessage &introspection, const QString &parent)
{
    static const QRegularExpression node(QStringLiteral("<node name=\"((Script)?[0-9]+)\"/>"));
    const QString base = parent.endsWith(QLatin1Char('/')) ? parent : parent + QLatin1Char('/');
    QStringList paths;
    auto matches = node.globalMatch(introspection.arguments().value(0).toString());
    while (matches.hasNext())
        paths << base + matches.next().captured(1);
    return paths;
}

} // namespace

qint64 ScriptOwner(const QString &name)
{
    static const QRegularExpression named(QStringLiteral("^oglon-pointer-([0-9]+)-"));
    return named.match(name).captured(1).toLongLong();
}

bool OglonRunning(qint64 pid)
{
    if (pid <= 0)
        return false;
#ifdef Q_OS_UNIX
    if (::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
        return false;
#endif
    // A process of that number, but perhaps another program by now.
    QFile program(QStringLiteral("/proc/%1/comm").arg(pid));
    QFile self(QStringLiteral("/proc/self/comm"));
    if (!program.open(QIODevice::ReadOnly) || !self.open(QIODevice::ReadOnly))
        return true; // cannot tell: left alone
    return program.readAll() == self.readAll();
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

std::unique_ptr<QTemporaryFile> WritePrivateFile(const QString &directory, const QString &text)
{
    // QTemporaryFile creates the file under a fresh random name with
    // O_CREAT | O_EXCL, which never opens an existing file or follows a link,
    // and gives it mode 0600.
    auto file = std::make_unique<QTemporaryFile>(QDir(directory).filePath(
        QStringLiteral("oglon-pointer-%1-XXXXXX.js").arg(QCoreApplication::applicationPid())));
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

// A name of this process's own for the head's window role: how KWin 6,
// which tells scripts no window ids, finds the head.
void KWinPointer::nameHead(HWND head)
{
    if (!head->windowRole().isEmpty())
        return;
    head->setWindowRole(QStringLiteral("oglon-pointer-%1-%2")
                            .arg(QCoreApplication::applicationPid())
                            .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
}

void KWinPointer::startReports()
{
    if (m_headId == 0) {
        nameHead(head());
        m_headId = head()->winId();
        removeLeftovers();
    }
    loadScript();
}

// Scripts that Oglons no longer running left in KWin, killed or cut off from
// their X server, with their files. A script and its file are named
// "oglon-pointer-PID-…" after the Oglon that loaded it.
void KWinPointer::removeLeftovers()
{
    const auto clean = [this](const QString &place) {
        const QFileInfoList files = QDir(place).entryInfoList(
            { QStringLiteral("oglon-pointer-*.js") }, QDir::Files | QDir::NoSymLinks);
        for (const QFileInfo &file : files) {
            const qint64 owner = ScriptOwner(file.completeBaseName());
            if (owner == 0 || OglonRunning(owner))
                continue;
            QDBusConnection::sessionBus().asyncCall(
                scriptingCall(QStringLiteral("unloadScript"), { file.completeBaseName() }));
            QFile::remove(file.filePath());
        }
    };
    if (const QString runtime = privateRuntimeDirectory(); !runtime.isEmpty())
        clean(runtime);
    const QFileInfoList privateDirs
        = QDir(QDir::tempPath())
              .entryInfoList({ QStringLiteral("oglon-pointer-*") }, QDir::Dirs | QDir::NoSymLinks);
    for (const QFileInfo &dir : privateDirs) {
#ifdef Q_OS_UNIX
        if (dir.ownerId() != ::getuid())
            continue;
#endif
        clean(dir.filePath());
        QDir().rmdir(dir.filePath()); // only when empty: another Oglon may still use it
    }
}

// In the user's runtime directory; where that is missing, not private or not
// writable, in a private directory of the program's own.
std::unique_ptr<QTemporaryFile> KWinPointer::writeScript(const QString &text)
{
    const QString runtime = privateRuntimeDirectory();
    if (!runtime.isEmpty()) {
        if (auto file = WritePrivateFile(runtime, text))
            return file;
    }
    if (!m_privateDir) {
        m_privateDir = std::make_unique<QTemporaryDir>(
            QDir(QDir::tempPath())
                .filePath(QStringLiteral("oglon-pointer-%1-XXXXXX")
                              .arg(QCoreApplication::applicationPid())));
    }
    return m_privateDir->isValid() ? WritePrivateFile(m_privateDir->path(), text) : nullptr;
}

void KWinPointer::loadScript()
{
    QFile templateFile(QStringLiteral(":/kwinpointer.js"));
    if (!templateFile.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("the KWin script is missing"));
    QString script = QString::fromUtf8(templateFile.readAll());
    script.replace(
        QStringLiteral("@SERVICE@"), JavaScriptString(QDBusConnection::sessionBus().baseService()));
    script.replace(QStringLiteral("@PATH@"), JavaScriptString(reportPath()));
    script.replace(QStringLiteral("@WINDOW@"), JavaScriptString(QString::number(m_headId)));
    script.replace(QStringLiteral("@ROLE@"), JavaScriptString(head()->windowRole()));
    std::unique_ptr<QTemporaryFile> file = writeScript(script);
    if (!file)
        return fail(QStringLiteral("cannot write the KWin script"));
    // The file's name, unique among the running Oglons', names the script.
    m_pluginName = QFileInfo(file->fileName()).completeBaseName();
    const QString fileName = file->fileName();
    m_scripts.push_back({ m_pluginName, std::move(file) });

    ask(introspect(QStringLiteral("/")), [this, fileName](const QDBusMessage &top) {
        ask(introspect(ScriptingPath), [this, fileName, top](const QDBusMessage &scripting) {
            const QStringList usedPaths
                = scriptObjects(top, QStringLiteral("/")) + scriptObjects(scripting, ScriptingPath);
            ask(scriptingCall(QStringLiteral("loadScript"), { fileName, m_pluginName }),
                [this, usedPaths](const QDBusMessage &reply) {
                    const int id = reply.arguments().value(0, -1).toInt();
                    if (reply.type() == QDBusMessage::ErrorMessage || id < 0)
                        return fail(QStringLiteral("KWin did not load the script"));
                    runScript(id, usedPaths);
                });
        });
    });
}

// Runs the script's own object only (KWin 6: /Scripting/ScriptN, KWin 5:
// /N); Scripting.start would run every script loaded, another program's too.
void KWinPointer::runScript(int id, const QStringList &usedPaths)
{
    const QString paths[2] = { QStringLiteral("%1/Script%2").arg(ScriptingPath).arg(id),
        QStringLiteral("/%1").arg(id) };
    if (usedPaths.contains(paths[0]) || usedPaths.contains(paths[1])) {
        // KWin numbers a script by how many it holds; after an unload the
        // number may be another's, and the script gets no object. A copy
        // loaded now gets the next number; the first is unloaded later.
        if (m_scripts.size() >= 3)
            return fail(QStringLiteral("KWin gave the script no object of its own"));
        return loadScript();
    }
    // KWin 5 has no object at KWin 6's path and answers with an error.
    const QDBusMessage kwin6 = methodCall(paths[0], ScriptInterface, QStringLiteral("run"));
    const QDBusMessage kwin5 = methodCall(paths[1], ScriptInterface, QStringLiteral("run"));
    ask(kwin6, [this, kwin5](const QDBusMessage &reply) {
        if (reply.type() != QDBusMessage::ErrorMessage)
            return checkLoaded();
        ask(kwin5, [this](const QDBusMessage &again) {
            if (again.type() == QDBusMessage::ErrorMessage)
                return fail(QStringLiteral("KWin did not run the script"));
            checkLoaded();
        });
    });
}

// KWin unloads a script that fails as it starts; whether it is still loaded
// after starting tells.
void KWinPointer::checkLoaded()
{
    ask(scriptingCall(QStringLiteral("isScriptLoaded"), { m_pluginName }),
        [this](const QDBusMessage &reply) {
            if (reply.type() == QDBusMessage::ErrorMessage || !reply.arguments().value(0).toBool())
                return fail(QStringLiteral("KWin did not run the script"));
            // Copies loaded before this one got no object and never ran.
            while (m_scripts.size() > 1) {
                QDBusConnection::sessionBus().asyncCall(
                    scriptingCall(QStringLiteral("unloadScript"), { m_scripts.front().name }));
                m_scripts.erase(m_scripts.begin());
            }
        });
}

// Another program may have stopped the script (Script.stop on its object),
// which KWin then no longer holds; nothing else tells.
void KWinPointer::askHelperRunning()
{
    if (m_pluginName.isEmpty())
        return;
    ask(
        scriptingCall(QStringLiteral("isScriptLoaded"), { m_pluginName }),
        [this](const QDBusMessage &reply) {
            if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().value(0).toBool())
                restartHelper();
        },
        QuestionTimeout);
}

// Hands KWin's answer to `then`, unless the script it was about was given up
// in the meantime.
void KWinPointer::ask(
    const QDBusMessage &call, std::function<void(const QDBusMessage &)> then, int timeout)
{
    auto *watcher
        = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call, timeout), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
        [this, name = m_pluginName, then](QDBusPendingCallWatcher *w) {
            w->deleteLater();
            if (!failed() && name == m_pluginName)
                then(w->reply());
        });
}

QDBusMessage KWinPointer::scriptingCall(const QString &method, const QVariantList &arguments) const
{
    return methodCall(ScriptingPath, ScriptingInterface, method, arguments);
}

QDBusMessage KWinPointer::introspect(const QString &path) const
{
    return methodCall(
        path, QStringLiteral("org.freedesktop.DBus.Introspectable"), QStringLiteral("Introspect"));
}

void KWinPointer::stopReports()
{
    m_pluginName.clear();
    for (const LoadedScript &script : m_scripts) {
        const QDBusMessage unload = scriptingCall(QStringLiteral("unloadScript"), { script.name });
        // At exit waited for, so that the script is gone before the program
        // is; while the program runs, never.
        if (quitting())
            QDBusConnection::sessionBus().call(unload, QDBus::Block, UnloadTimeout);
        else
            QDBusConnection::sessionBus().asyncCall(unload, UnloadTimeout);
    }
    m_scripts.clear();
    m_privateDir.reset();
}

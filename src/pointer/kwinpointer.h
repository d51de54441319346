// The pointer as KWin sees it: a small KWin script, loaded at run time,
// reports the pointer and the head window's frame to this process over D-Bus
// (see CompositorPointer).
#pragma once

#include "pointer/compositorpointer.h"

#include <QString>
#include <functional>
#include <memory>
#include <vector>

class QDBusMessage;
class QTemporaryDir;
class QTemporaryFile;

// A string as a JavaScript string literal, quotes included, safe to put
// anywhere in a script.
QString JavaScriptString(const QString &value);

// Writes `text` to a new file only the user may read, under a fresh name in
// `directory`; never through an existing file or link. The file is removed
// when the returned object goes. None when the file cannot be written.
std::unique_ptr<QTemporaryFile> WritePrivateFile(const QString &directory, const QString &text);

// The process that loaded a script of the given name ("oglon-pointer-PID-…",
// as its file is named); 0 for a name not of that form.
qint64 ScriptOwner(const QString &name);
// Whether an Oglon runs as process `pid` (another program may have its
// number by now).
bool OglonRunning(qint64 pid);

class KWinPointer : public CompositorPointer
{
    Q_OBJECT

public:
    // KWin's name on the session bus.
    static QString service();
    // Gives the head the window role by which the script finds it under
    // KWin 6. KWin reads it when the head is first mapped: before then.
    static void nameHead(HWND head);

    // The source for the given head window; start() loads the script.
    explicit KWinPointer(HWND head, QObject *parent = nullptr);
    ~KWinPointer() override;

    QString name() const override { return QStringLiteral("KWin"); }

protected:
    void startReports() override;
    void stopReports() override;
    void askHelperRunning() override;

private:
    struct LoadedScript
    {
        QString name;
        std::unique_ptr<QTemporaryFile> file;
    };

    void removeLeftovers();
    std::unique_ptr<QTemporaryFile> writeScript(const QString &text);
    void loadScript();
    void runScript(int id, const QStringList &usedPaths);
    void checkLoaded();
    void ask(
        const QDBusMessage &call, std::function<void(const QDBusMessage &)> then, int timeout = -1);
    QDBusMessage scriptingCall(const QString &method, const QVariantList &arguments) const;
    QDBusMessage introspect(const QString &path) const;

    unsigned long m_headId = 0;
    QString m_pluginName; // the script being started; empty when none
    std::unique_ptr<QTemporaryDir> m_privateDir;
    // Loaded into KWin, the one that runs last.
    std::vector<LoadedScript> m_scripts;
};

// The pointer as KWin sees it: a small KWin script, loaded at run time,
// reports the pointer and the head window's frame to this process over D-Bus
// (see CompositorPointer).
#pragma once

#include "pointer/compositorpointer.h"

#include <QString>
#include <memory>

class QTemporaryDir;
class QTemporaryFile;

// A string as a JavaScript string literal, quotes included, safe to put
// anywhere in a script.
QString JavaScriptString(const QString &value);

// Writes `text` to a new file only the user may read, under a fresh name in
// `directory`; never through an existing file or link. The file is removed
// when the returned object goes. None when the file cannot be written.
std::unique_ptr<QTemporaryFile> WritePrivateFile(const QString &directory, const QString &text);

class KWinPointer : public CompositorPointer
{
    Q_OBJECT

public:
    // KWin's name on the session bus.
    static QString service();

    // The source for the given head window; start() loads the script.
    explicit KWinPointer(HWND head, QObject *parent = nullptr);
    ~KWinPointer() override;

    QString name() const override { return QStringLiteral("KWin"); }

protected:
    void startReports() override;
    void stopReports() override;

private:
    void loadScript();
    void checkLoaded();

    unsigned long m_headId = 0;
    QString m_pluginName;
    std::unique_ptr<QTemporaryDir> m_privateDir;
    std::unique_ptr<QTemporaryFile> m_script;
    bool m_loaded = false;
};

// Handing a link to the user's mail program or browser.
#include "desktop.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QPointer>
#include <QProcess>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <cstring>

bool ShellExecuteA(HWND window, const char *operation, const char *file, const char *, const char *,
    int, const std::function<void()> &failed)
{
    if (!operation || !file || std::strcmp(operation, "open") != 0)
        return false;
    const QUrl url(QString::fromLocal8Bit(file));
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    // xdg-open is asked directly, with the URL as its one argument and no
    // shell, so that its verdict can be heard: it fails when it finds no
    // program for the scheme. It may run as long as the browser it started.
    auto *opener = new QProcess(QCoreApplication::instance());
    opener->setProcessChannelMode(QProcess::ForwardedChannels);
    // Told from the event loop: a missing opener is reported within start().
    const auto report = [window = QPointer<QWidget>(window), failed] {
        if (window && failed)
            QTimer::singleShot(0, window, failed);
    };
    QObject::connect(opener, &QProcess::finished, opener,
        [opener, report](int code, QProcess::ExitStatus status) {
            if (code != 0 || status != QProcess::NormalExit)
                report();
            opener->deleteLater();
        });
    QObject::connect(
        opener, &QProcess::errorOccurred, opener, [opener, report](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart) {
                report();
                opener->deleteLater();
            }
        });
    opener->start(QStringLiteral("xdg-open"), { QString::fromUtf8(url.toEncoded()) });
    return true;
#else
    const bool opened = QDesktopServices::openUrl(url);
    if (!opened && failed && window)
        QTimer::singleShot(0, window, failed);
    return opened;
#endif
}

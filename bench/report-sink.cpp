// For bench/kwin-cpu.sh and bench/gnome-cpu.sh: a program that takes the
// compositor's pointer reports exactly as Oglon does (the same source, the
// same helper in the compositor, the same receiver) and does nothing else: a
// plain window of the head's size stands in for the head, with no pictures,
// no pupils and no tick. What the compositor spends with it running is what
// the reporting costs the compositor, without Oglon's drawing. With
// --window-only it shows the window and takes no reports: what one more
// small X11 window costs the compositor.
#include "desktop/signals.h"
#include "pointer/sessionpointer.h"

#include <QApplication>
#include <QWidget>

int main(int argc, char *argv[])
{
    EndOnTerminationSignals();
    // Like Oglon, through XWayland, whose window the compositor reports on.
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    // At exit the source takes its helper out of the compositor.
    QuitOnTerminationSignals();
    QWidget head(nullptr, Qt::FramelessWindowHint);
    head.setWindowTitle(QStringLiteral("report sink"));
    head.setFixedSize(91, 159);
    const bool windowOnly = QApplication::arguments().contains(QStringLiteral("--window-only"));
    if (!windowOnly)
        FollowPointerInWaylandSession(&head, true);
    head.show();
    return QApplication::exec();
}

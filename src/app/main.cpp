// Oglon: a head on the desktop whose eyes follow the pointer. src/app/ holds
// the program's start: the platform's choice, the translation, the head
// window first (and the pointer's source for it), then the event loop.
#include "app/translation.h"
#include "desktop/desktop.h"
#include "desktop/sessionbus.h"
#include "desktop/signals.h"
#include "head/form1.h"
#include "pointer/sessionpointer.h"

#include <QApplication>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>

namespace {

constexpr const char *ProductName = "Oglon Chromule";
constexpr const char *VersionText = OGLON_VERSION_TEXT;

bool has(const char *variable)
{
    return !qEnvironmentVariableIsEmpty(variable);
}

bool waylandSession()
{
    return has("WAYLAND_DISPLAY") || qgetenv("XDG_SESSION_TYPE") == QByteArrayLiteral("wayland");
}

// The value of one of Qt's own options as Qt reads them: "--name" is
// "-name", and the last one given counts. Null when not given.
const char *qtOption(int argc, char *argv[], const char *name)
{
    const char *value = nullptr;
    for (int i = 1; i + 1 < argc; ++i) {
        const char *option = argv[i];
        if (option[0] == '-' && option[1] == '-')
            ++option;
        if (!std::strcmp(option, name))
            value = argv[++i];
    }
    return value;
}

// The pupils need the pointer's position over the whole screen and the head
// needs to stay above other windows: X11 offers both, Wayland neither. Under
// Wayland the program runs through XWayland, even where the session asks Qt
// programs for Wayland; only a -platform argument chooses otherwise.
bool choosePlatform(int argc, char *argv[])
{
    if (qtOption(argc, argv, "-platform"))
        return true;
    const bool display = has("DISPLAY") || qtOption(argc, argv, "-display");
    const bool wayland = waylandSession();
    if (has("QT_QPA_PLATFORM") && !wayland)
        return true;
    if (!display) {
        std::fprintf(stderr,
            wayland ? "oglon: this Wayland session has no X display (XWayland); "
                      "Oglon needs one to follow the pointer\n"
                    : "oglon: no X display found (DISPLAY is not set); start Oglon "
                      "from a graphical session\n");
        return false;
    }
    // Where the pointer comes from is said once the head is up.
    if (wayland)
        qputenv("QT_QPA_PLATFORM", "xcb");
    return true;
}

// Answers --help and --version; true when the program should stop there.
bool answerInfoOption(int argc, char *argv[])
{
    if (argc != 2)
        return false;
    if (!std::strcmp(argv[1], "--version")) {
        std::printf("%s %s\n", ProductName, VersionText);
        return true;
    }
    if (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
        std::printf("Usage: oglon\n"
                    "A head on your desktop whose eyes follow your cursor. Drag it with the left\n"
                    "button; the right button opens its menu. It takes no options but --help and\n"
                    "--version (and Qt's own, such as -display).\n");
        return true;
    }
    return false;
}

// Qt aborts when it cannot open its X display; the user gets one line and
// status 1 instead. Other platforms, chosen explicitly, are left to Qt. The
// check is held until Qt has its own connection.
bool xDisplayOpens(int argc, char *argv[], std::optional<DisplayCheck> &check)
{
    const char *platform = qtOption(argc, argv, "-platform");
    if (platform && std::strncmp(platform, "xcb", 3))
        return true;
    const QByteArray environment = qgetenv("QT_QPA_PLATFORM");
    if (!platform && !environment.isEmpty() && !environment.startsWith("xcb"))
        return true;
    const char *display = qtOption(argc, argv, "-display");
    if (!check.emplace(display).opened())
        return false;
    // The program's own connections (the pointer's) and the programs it
    // opens use the display Qt uses.
    if (display)
        qputenv("DISPLAY", display);
    return true;
}

// Qt takes any QT_SCALE_FACTOR: at 0, below or not a number the head is
// drawn a pixel small, and at 1000 its pictures take gigabytes.
bool scaleFactorIsSane()
{
    if (!has("QT_SCALE_FACTOR"))
        return true;
    bool number = false;
    const double factor = qgetenv("QT_SCALE_FACTOR").toDouble(&number);
    if (number && factor >= 0.25 && factor <= 8) // false for NaN
        return true;
    std::fprintf(stderr, "oglon: QT_SCALE_FACTOR=%s is not a scale from 0.25 to 8\n",
        qgetenv("QT_SCALE_FACTOR").constData());
    return false;
}

// At 8 bits a pixel Qt draws nothing (it has no image format for such a
// screen): the head would show as a black shape. 15 and 16 draw well. The
// head shows on the X screen of the primary screen.
bool screenDepthSuffices()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen || screen->depth() >= 15)
        return true;
    std::fprintf(stderr,
        "oglon: the screen has a colour depth of %d bits; Oglon needs at least 15\n",
        screen->depth());
    return false;
}

// The scale Qt gives a screen is QT_SCALE_FACTOR times the screen's own,
// from QT_SCREEN_SCALE_FACTORS or the fonts' DPI (QT_FONT_DPI, Xft.dpi): out
// of bounds too, the head is a pixel small, gone, or gigabytes big.
bool screenScalesAreSane()
{
    for (const QScreen *screen : QGuiApplication::screens()) {
        const qreal scale = screen->devicePixelRatio();
        if (scale >= 0.25 && scale <= 8) // false for NaN
            continue;
        std::fprintf(stderr,
            "oglon: the screen '%s' has a scale of %g; Oglon needs one from 0.25 to 8 (see "
            "QT_SCALE_FACTOR, QT_SCREEN_SCALE_FACTORS, QT_FONT_DPI and Xft.dpi)\n",
            qPrintable(screen->name()), scale);
        return false;
    }
    return true;
}

// A screen added while the program runs (a monitor plugged in, scaled by
// name in QT_SCREEN_SCALE_FACTORS) or a DPI changed meanwhile is held to the
// same bounds: the windows go and the program ends with status 1. The checks
// of one turn of the event loop make one.
void endOnMadScales()
{
    auto *check = new QTimer(qApp);
    check->setSingleShot(true);
    QObject::connect(check, &QTimer::timeout, qApp, [] {
        if (screenScalesAreSane())
            return;
        for (QWidget *window : QApplication::topLevelWidgets())
            window->hide();
        QCoreApplication::exit(1);
    });
    const auto watch = [check](QScreen *screen) {
        QObject::connect(
            screen, &QScreen::logicalDotsPerInchChanged, check, qOverload<>(&QTimer::start));
        QObject::connect(
            screen, &QScreen::physicalDotsPerInchChanged, check, qOverload<>(&QTimer::start));
    };
    for (QScreen *screen : QGuiApplication::screens())
        watch(screen);
    QObject::connect(qApp, &QGuiApplication::screenAdded, check, [watch, check](QScreen *screen) {
        watch(screen);
        check->start();
    });
}

// Qt aborts when no platform plugin starts (an unknown -platform, one that
// finds nothing to show on). While it starts, what it says is held back:
// where it fails, the user gets one line and status 1; where it starts,
// it is said as usual.
struct HeldMessage
{
    QtMsgType type;
    const char *category; // Qt's categories are static
    QString text;
};

// What the message handlers below share: a handler is a plain function.
struct QtMessages
{
    QtMessageHandler qtHandler = nullptr;
    QList<HeldMessage> held; // while Qt starts
    QByteArray platform; // the one Qt is starting
    QByteArray display; // the X display, for the line said when it goes
    std::mutex saying; // one thread says it, any other waits for the exit
} qtMessages;

// When the X server goes away, Qt says so on whichever path notices first
// (its event reader, or Xlib under the next request), sometimes on both, and
// Xlib adds its own lines; then it exits with its threads still running.
// Whatever Qt says once its connection is broken becomes one line of ours
// and an immediate exit.
void exitIfXServerGone()
{
    if (!XServerGone())
        return;
    qtMessages.saying.lock();
    std::fprintf(stderr, "oglon: lost the connection to the X display '%s'\n",
        qtMessages.display.constData());
    std::_Exit(1);
}

void holdWhileStarting(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    exitIfXServerGone();
    if (type != QtFatalMsg) {
        qtMessages.held.append({ type, context.category, text });
        return;
    }
    std::fprintf(
        stderr, "oglon: Qt cannot start the platform '%s'\n", qtMessages.platform.constData());
    std::_Exit(1);
}

void passToQt(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    exitIfXServerGone();
    qtMessages.qtHandler(type, context, text);
}

void startingQt(int argc, char *argv[])
{
    qtMessages.display = qgetenv("DISPLAY");
    const char *platform = qtOption(argc, argv, "-platform");
    qtMessages.platform = platform ? QByteArray(platform) : qgetenv("QT_QPA_PLATFORM");
    if (qtMessages.platform.isEmpty())
        qtMessages.platform = "xcb";
    qtMessages.qtHandler = qInstallMessageHandler(holdWhileStarting);
}

void qtStarted()
{
    qInstallMessageHandler(passToQt);
    for (const HeldMessage &message : std::as_const(qtMessages.held))
        qtMessages.qtHandler(
            message.type, QMessageLogContext(nullptr, 0, nullptr, message.category), message.text);
    qtMessages.held.clear();
}

} // namespace

int main(int argc, char *argv[])
{
    if (answerInfoOption(argc, argv))
        return 0;
    EndOnTerminationSignals();
    std::optional<DisplayCheck> displayCheck;
    if (!choosePlatform(argc, argv) || !xDisplayOpens(argc, argv, displayCheck)
        || !scaleFactorIsSane())
        return 1;

    // Without MIT-SHM Qt sends the few pixels of a pupil move in the request
    // and need not wait for the server to be done with shared memory before
    // it paints there again: one round trip less on every moving tick. Set
    // for Qt's start only: programs opened later do not inherit it.
    const bool shm = !has("QT_XCB_NO_MITSHM");
    if (shm)
        qputenv("QT_XCB_NO_MITSHM", "1");
    // Qt waits on the session bus as it starts: one that never answers is
    // kept from it.
    SessionBusCheck sessionBus;
    startingQt(argc, argv);
    QApplication app(argc, argv);
    // Refused in one line: what Qt said while starting goes unsaid.
    if (!screenDepthSuffices() || !screenScalesAreSane())
        return 1;
    qtStarted();
    sessionBus.qtStarted();
    displayCheck.reset();
    if (shm)
        qunsetenv("QT_XCB_NO_MITSHM");
    // Qt has taken its own options out; anything left is not ours.
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() > 1) {
        std::fprintf(stderr, "oglon: unknown argument '%s' (see oglon --help)\n",
            qPrintable(arguments.at(1)));
        return 2;
    }
    // The menu and the About box speak the user's language and, like every
    // Qt program, wear the desktop's font, palette and platform theme.
    InstallTranslation();
    QApplication::setApplicationName(QStringLiteral("Oglon"));
    QApplication::setApplicationVersion(QString::fromLatin1(VersionText));
    QGuiApplication::setDesktopFileName(QStringLiteral(OGLON_APP_ID));
    // One icon for every window: Qt caches the pixmaps it gives the window
    // manager by the icon's own, so an icon made anew for each About box
    // would leave a few kilobytes behind every time.
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icon.png")));
    // The head has no taskbar button and the About box comes and goes; only
    // Exit ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    QuitOnTerminationSignals();
    endOnMadScales();

    Form1 head;
    FollowPointerInWaylandSession(&head, waylandSession());
    head.show();
    const int status = QApplication::exec();
    // Qt's connection goes with the application: no more asking after it.
    qInstallMessageHandler(qtMessages.qtHandler);
    return status;
}
